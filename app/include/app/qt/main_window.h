#pragma once
// The program's main window: the controls of the three steps laid out at
// fixed positions, each event forwarded to the Qt-free dispatch. Actions reach
// the controls only through WindowPort.

#include <QMainWindow>
#include <array>
#include <functional>
#include <map>
#include <string>

#include "core/memory_window.h"
#include "core/session.h"
#include "core/window_port.h"

class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace tabrovin {

class MainWindow : public QMainWindow, public WindowPort {
    Q_OBJECT

  public:
    // Builds the controls, places the export step and runs the start-up
    // action (Combo1 from the column list file).
    explicit MainWindow(ProgramPaths paths, QWidget* parent = nullptr);
    ~MainWindow() override;

    Session& session() { return session_; }

    // Seams for tests and scripted runs. When set, no modal dialog opens:
    // fileChooser answers the file dialog (given its filter, "" = cancelled)
    // and messageSink receives every message box instead of showing it.
    static inline std::function<std::string(const std::string& filter)> fileChooser;
    static inline std::function<void(const ShownMessage&)> messageSink;

    // WindowPort
    std::string text(TextBox box) const override;
    void setText(TextBox box, const std::string& text) override;
    std::string caption(Label label) const override;
    void setCaption(Label label, const std::string& caption) override;
    int widthTwips(Label label) const override;
    void setWidthTwips(Label label, int twips) override;

    int count(ListBox list) const override;
    std::string item(ListBox list, int index) const override;
    void addItem(ListBox list, const std::string& text) override;
    void setItem(ListBox list, int index, const std::string& text) override;
    void removeItem(ListBox list, int index) override;
    void clear(ListBox list) override;
    int selectedIndex(ListBox list) const override;
    void setSelectedIndex(ListBox list, int index) override;
    bool checked(int index) const override;
    void setChecked(int index, bool checked) override;
    bool list1Enabled() const override;
    void setList1Enabled(bool enabled) override;

    int comboCount() const override;
    std::string comboItem(int index) const override;
    void comboAdd(const std::string& text) override;
    void comboClear() override;
    int comboIndex() const override;
    void setComboIndex(int index) override;

    bool buttonEnabled(int index) const override;
    void setButtonEnabled(int index, bool enabled) override;
    std::string buttonCaption(int index) const override;
    void setButtonCaption(int index, const std::string& caption) override;

    View view() const override;
    void showView(View view) override;
    void showMessage(const std::string& text, const std::string& title, Icon icon) override;
    std::string chooseFile(const std::string& filter) override;
    void processEvents() override;

  protected:
    // Refused while an action runs; the window then closes once it has ended.
    void closeEvent(QCloseEvent* event) override;

  private:
    // Construction, in main_window_ui.cpp.
    void buildMenu();
    void buildImportStep(QWidget* client);
    void buildCountersFrame(QGroupBox* frame2);
    void buildProcessingStep(QWidget* client);
    void buildExportStep(QWidget* client);
    void buildStatusLine(QWidget* client);
    void setFocusOrder();
    void connectEvents();
    QLabel* addLabel(QWidget* parent, const char* name, const char* text, int left, int top,
                     int width, int height);
    QLineEdit* addTextBox(QWidget* parent, TextBox box, const char* name, int left, int top,
                          int width, int height);
    QPushButton* addButton(QWidget* parent, int index, int left, int top, int width, int height);
    QListWidget* addList(QWidget* parent, ListBox list, const char* name, int left, int top,
                         int width, int height);

    // Runs one dispatch entry point unless an action is running, with the
    // menu disabled meanwhile; closes the window if that was asked for.
    void run(const std::function<void(Session&)>& action);

    QListWidget* list(ListBox l) const { return lists_[static_cast<int>(l)]; }
    QLabel* label(Label l) const { return labels_.at(l); }

    Session session_;
    bool closePending_ = false;
    std::array<QLineEdit*, 5> texts_{};
    std::map<Label, QLabel*> labels_;
    std::map<Label, int> widthsTwips_;  // last width set, kept exact for the progress bar
    std::array<QListWidget*, 3> lists_{};
    QComboBox* combo_ = nullptr;
    std::array<QPushButton*, kButtonCount> buttons_{};
    std::array<QAction*, 2> menu_{};
    QGroupBox* frame2_ = nullptr;
    QGroupBox* frame3_ = nullptr;
    QGroupBox* frame4_ = nullptr;
};

}  // namespace tabrovin
