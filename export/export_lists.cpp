#include "export/export_lists.h"

#include "core/buttons.h"
#include "core/numbers.h"

namespace tabrovin {

std::string makeEntry(const std::string& heading, int column) {
    return heading + kEntrySeparator + std::to_string(column);
}

namespace {

// Pieces 0 and 1 of an entry cut at every "|@|"; piece 1 is empty when the
// entry holds no separator.
std::pair<std::string, std::string> splitEntry(const std::string& entry) {
    const std::string sep = kEntrySeparator;
    size_t first = entry.find(sep);
    if (first == std::string::npos) return {entry, ""};
    size_t start = first + sep.size();
    return {entry.substr(0, first), entry.substr(start, entry.find(sep, start) - start)};
}

}  // namespace

std::optional<ExportColumn> parseEntry(const std::string& entry) {
    auto [heading, piece] = splitEntry(entry);
    if (piece.empty() || piece.find_first_not_of("0123456789") != std::string::npos ||
        piece.size() > 4)
        return std::nullopt;
    return ExportColumn{heading, std::stoi(piece)};
}

Result<std::vector<ExportColumn>> exportColumns(const WindowPort& w) {
    std::vector<ExportColumn> columns;
    for (int i = 0; i < w.count(ListBox::List3); ++i) {
        auto c = parseEntry(w.item(ListBox::List3, i));
        if (!c)
            return Error{err::kInvalidArgument, "导出列表第 " + std::to_string(i + 1) + " 项 \"" +
                                                    w.item(ListBox::List3, i) + "\" 无法识别"};
        columns.push_back(*c);
    }
    return columns;
}

void fillExportLists(Session& s) {
    WindowPort& w = s.window;
    setButtons(w, kNoButton, 0);
    w.clear(ListBox::List3);
    w.clear(ListBox::List2);
    for (int k = 0; k < w.comboCount(); ++k)
        w.addItem(ListBox::List2, makeEntry(w.comboItem(k), k));
    w.setButtonCaption(1, ">>");
    w.setText(TextBox::Text3, "");
    setButtons(w, kNoButton, 1);
}

void moveAllExportColumns(Session& s) {
    WindowPort& w = s.window;
    setButtons(w, kNoButton, 0);
    const bool forward = w.buttonCaption(1) == ">>";
    const ListBox from = forward ? ListBox::List2 : ListBox::List3;
    const ListBox to = forward ? ListBox::List3 : ListBox::List2;
    for (int i = 0; i < w.count(from); ++i) w.addItem(to, w.item(from, i));
    w.setButtonCaption(1, forward ? "<<" : ">>");
    w.clear(from);
    w.setText(TextBox::Text3, "");
    setButtons(w, kNoButton, 1);
}

void renameExportHeading(Session& s) {
    WindowPort& w = s.window;
    auto column = toInt16(w.caption(Label::Label15));
    auto position = toInt16(w.caption(Label::Label16));
    const std::string heading = w.text(TextBox::Text3);
    if (heading.empty()) return s.message("当前不能为空!", Icon::Information);
    if (heading.find(kEntrySeparator) != std::string::npos)
        return s.message("列名称中不能含有 \"|@|\", 请换一个名称。", Icon::Information);
    // Only the entry that was clicked may be renamed: if the lists changed
    // since, the stored position may point at another entry or past the end.
    if (!column || !position || *position < 0 || *position >= w.count(ListBox::List3)) return;
    auto current = parseEntry(w.item(ListBox::List3, *position));
    if (!current || current->column != *column) return;
    w.setItem(ListBox::List3, *position, makeEntry(heading, *column));
    w.setText(TextBox::Text3, "");
    s.message("修改了导出Excel的某一个列名称.", Icon::Information);
}

namespace {

void moveSelected(Session& s, ListBox from, ListBox to) {
    WindowPort& w = s.window;
    const int at = w.selectedIndex(from);
    if (at < 0 || at >= w.count(from)) return;
    w.addItem(to, w.item(from, at));
    w.removeItem(from, at);
    w.setText(TextBox::Text3, "");
}

}  // namespace

void moveSelectedToExport(Session& s) {
    moveSelected(s, ListBox::List2, ListBox::List3);
}
void moveSelectedBack(Session& s) {
    moveSelected(s, ListBox::List3, ListBox::List2);
}

void loadSelectedHeading(Session& s) {
    WindowPort& w = s.window;
    const int at = w.selectedIndex(ListBox::List3);
    if (at < 0 || at >= w.count(ListBox::List3)) return;
    auto [heading, number] = splitEntry(w.item(ListBox::List3, at));
    w.setText(TextBox::Text3, heading);
    w.setCaption(Label::Label15, number);
    w.setCaption(Label::Label16, std::to_string(at));
}

}  // namespace tabrovin
