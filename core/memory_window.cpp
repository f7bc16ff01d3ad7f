#include "core/memory_window.h"

#include "core/window_defaults.h"

namespace tabrovin {

MemoryWindow::MemoryWindow() {
    for (auto box :
         {TextBox::Text1, TextBox::Text2, TextBox::Text3, TextBox::Text4, TextBox::Text5})
        texts_[box] = defaults::initialText(box);
    for (auto l : {Label::Label1, Label::Label6, Label::Label7, Label::Label8, Label::Label15,
                   Label::Label16}) {
        captions_.emplace(l, std::string(l == Label::Label1 ? 0 : 1, '0'));
        widths_[l] = defaults::initialWidthTwips(l);
    }
    for (auto l : {ListBox::List1, ListBox::List2, ListBox::List3}) {
        lists_[l];
        selected_[l] = -1;
    }
    for (int i = 0; i < kButtonCount; ++i)
        buttons_[i] = {defaults::buttonCaption(i), defaults::buttonInitiallyEnabled(i)};
}

void MemoryWindow::removeItem(ListBox l, int i) {
    auto& v = lists_[l];
    v.erase(v.begin() + i);
    int& sel = selected_[l];
    if (sel >= static_cast<int>(v.size()) || sel == i) sel = -1;
}

void MemoryWindow::clear(ListBox l) {
    lists_[l].clear();
    selected_[l] = -1;
}

void MemoryWindow::comboClear() {
    combo_.clear();
    comboIndex_ = -1;
}

void MemoryWindow::showMessage(const std::string& text, const std::string& title, Icon icon) {
    messages.push_back({text, title, icon});
    if (onMessage) onMessage(messages.back());
}

std::string MemoryWindow::chooseFile(const std::string& filter) {
    lastFilter = filter;
    if (nextFiles.empty()) return "";
    std::string f = nextFiles.front();
    nextFiles.pop_front();
    return f;
}

void MemoryWindow::processEvents() {
    ++processEventsCalls;
    if (onProcessEvents) onProcessEvents();
}

std::string MemoryWindow::buttonStates() const {
    std::string s;
    for (const auto& b : buttons_) s += b.enabled ? '1' : '0';
    return s;
}

}  // namespace tabrovin
