#pragma once
// The one way actions reach the window: its named controls, message boxes,
// the file dialog and event processing. The Qt window implements it; tests
// and the batch command use MemoryWindow. Texts are UTF-8.

#include <string>

namespace tabrovin {

enum class TextBox { Text1, Text2, Text3, Text4, Text5 };
// Labels whose captions or widths the actions use. Label1 is the progress bar.
enum class Label { Label1, Label6, Label7, Label8, Label15, Label16 };
enum class ListBox { List1, List2, List3 };
enum class Icon { Critical = 16, Exclamation = 48, Information = 64 };
enum class View { ImportAndProcessing, Export };

constexpr int kButtonCount = 7;  // cmd(0) .. cmd(6)
constexpr const char* kProgramTitle = "Tabrovin";

class WindowPort {
  public:
    virtual ~WindowPort() = default;

    virtual std::string text(TextBox box) const = 0;
    virtual void setText(TextBox box, const std::string& text) = 0;

    virtual std::string caption(Label label) const = 0;
    virtual void setCaption(Label label, const std::string& caption) = 0;
    virtual int widthTwips(Label label) const = 0;
    virtual void setWidthTwips(Label label, int twips) = 0;

    // List boxes. selectedIndex is -1 when nothing is selected.
    virtual int count(ListBox list) const = 0;
    virtual std::string item(ListBox list, int index) const = 0;
    virtual void addItem(ListBox list, const std::string& text) = 0;
    virtual void setItem(ListBox list, int index, const std::string& text) = 0;
    virtual void removeItem(ListBox list, int index) = 0;
    virtual void clear(ListBox list) = 0;
    virtual int selectedIndex(ListBox list) const = 0;
    virtual void setSelectedIndex(ListBox list, int index) = 0;
    // Tick boxes of List1.
    virtual bool checked(int index) const = 0;
    virtual void setChecked(int index, bool checked) = 0;
    virtual bool list1Enabled() const = 0;
    virtual void setList1Enabled(bool enabled) = 0;

    // Combo1, the column chooser. comboIndex is -1 when nothing is chosen.
    virtual int comboCount() const = 0;
    virtual std::string comboItem(int index) const = 0;
    virtual void comboAdd(const std::string& text) = 0;
    virtual void comboClear() = 0;
    virtual int comboIndex() const = 0;
    virtual void setComboIndex(int index) = 0;

    // Command buttons cmd(0) .. cmd(6).
    virtual bool buttonEnabled(int index) const = 0;
    virtual void setButtonEnabled(int index, bool enabled) = 0;
    virtual std::string buttonCaption(int index) const = 0;
    virtual void setButtonCaption(int index, const std::string& caption) = 0;

    virtual View view() const = 0;
    virtual void showView(View view) = 0;
    // A modal box with one OK button; returns when it is closed.
    virtual void showMessage(const std::string& text, const std::string& title, Icon icon) = 0;
    // The file-open dialog with `filter` ("name|pattern|name|pattern");
    // returns the chosen path, or "" when cancelled.
    virtual std::string chooseFile(const std::string& filter) = 0;
    // Lets the window handle its pending events (repaint, input).
    virtual void processEvents() = 0;
};

}  // namespace tabrovin
