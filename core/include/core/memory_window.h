#pragma once
// A window without a display: the controls as plain values, with the initial
// state of the real window. Tests and the batch command drive actions
// through it; it records every message box and answers the file dialog from
// a script.

#include <array>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "core/window_port.h"

namespace tabrovin {

struct ShownMessage {
    std::string text;
    std::string title;
    Icon icon;
};

class MemoryWindow : public WindowPort {
  public:
    MemoryWindow();

    std::string text(TextBox box) const override { return texts_.at(box); }
    void setText(TextBox box, const std::string& t) override { texts_[box] = t; }
    std::string caption(Label l) const override { return captions_.at(l); }
    void setCaption(Label l, const std::string& c) override { captions_[l] = c; }
    int widthTwips(Label l) const override { return widths_.at(l); }
    void setWidthTwips(Label l, int w) override { widths_[l] = w; }

    int count(ListBox l) const override { return static_cast<int>(lists_.at(l).size()); }
    std::string item(ListBox l, int i) const override { return lists_.at(l).at(i).text; }
    void addItem(ListBox l, const std::string& t) override { lists_[l].push_back({t, false}); }
    void setItem(ListBox l, int i, const std::string& t) override { lists_[l].at(i).text = t; }
    void removeItem(ListBox l, int i) override;
    void clear(ListBox l) override;
    int selectedIndex(ListBox l) const override { return selected_.at(l); }
    void setSelectedIndex(ListBox l, int i) override { selected_[l] = i; }
    bool checked(int i) const override { return lists_.at(ListBox::List1).at(i).checked; }
    void setChecked(int i, bool c) override { lists_[ListBox::List1].at(i).checked = c; }
    bool list1Enabled() const override { return list1Enabled_; }
    void setList1Enabled(bool e) override { list1Enabled_ = e; }

    int comboCount() const override { return static_cast<int>(combo_.size()); }
    std::string comboItem(int i) const override { return combo_.at(i); }
    void comboAdd(const std::string& t) override { combo_.push_back(t); }
    void comboClear() override;
    int comboIndex() const override { return comboIndex_; }
    void setComboIndex(int i) override { comboIndex_ = i; }

    bool buttonEnabled(int i) const override { return buttons_.at(i).enabled; }
    void setButtonEnabled(int i, bool e) override { buttons_.at(i).enabled = e; }
    std::string buttonCaption(int i) const override { return buttons_.at(i).caption; }
    void setButtonCaption(int i, const std::string& c) override { buttons_.at(i).caption = c; }

    View view() const override { return view_; }
    void showView(View v) override { view_ = v; }
    void showMessage(const std::string& text, const std::string& title, Icon icon) override;
    std::string chooseFile(const std::string& filter) override;
    void processEvents() override;

    // Test and batch hooks.
    std::vector<ShownMessage> messages;
    std::deque<std::string> nextFiles;  // answers of the file dialog, in order
    std::string lastFilter;
    int processEventsCalls = 0;
    std::function<void(const ShownMessage&)> onMessage;  // e.g. print it
    std::function<void()> onProcessEvents;               // e.g. click during a pause
    // The enabled state of all seven buttons as "1111011" (cmd(0) first).
    std::string buttonStates() const;

  private:
    struct Entry {
        std::string text;
        bool checked;
    };
    struct Button {
        std::string caption;
        bool enabled;
    };
    std::map<TextBox, std::string> texts_;
    std::map<Label, std::string> captions_;
    std::map<Label, int> widths_;
    std::map<ListBox, std::vector<Entry>> lists_;
    std::map<ListBox, int> selected_;
    std::vector<std::string> combo_;
    int comboIndex_ = -1;
    std::array<Button, kButtonCount> buttons_;
    bool list1Enabled_ = true;
    View view_ = View::ImportAndProcessing;
};

}  // namespace tabrovin
