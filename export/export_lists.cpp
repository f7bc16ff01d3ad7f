#include "export/export_lists.h"

namespace tabrovin {

std::string makeEntry(const ExportColumn& c) {
    return c.heading + kEntrySeparator + std::to_string(c.column);
}

ExportLists ExportLists::fromColumnNames(const std::vector<std::string>& names) {
    ExportLists lists;
    for (size_t k = 0; k < names.size(); ++k)
        lists.available.push_back({names[k], static_cast<int>(k)});
    return lists;
}

void ExportLists::moveAll() {
    auto& from = moveAllForward ? available : chosen;
    auto& to = moveAllForward ? chosen : available;
    to.insert(to.end(), from.begin(), from.end());
    from.clear();
    moveAllForward = !moveAllForward;
}

namespace {

bool moveOne(std::vector<ExportColumn>& from, std::vector<ExportColumn>& to, int at) {
    if (at < 0 || at >= static_cast<int>(from.size())) return false;
    to.push_back(from[at]);
    from.erase(from.begin() + at);
    return true;
}

}  // namespace

bool ExportLists::moveToExport(int at) {
    return moveOne(available, chosen, at);
}

bool ExportLists::moveBack(int at) {
    return moveOne(chosen, available, at);
}

Status ExportLists::rename(int at, int column, const std::string& heading) {
    if (heading.empty()) return Error::refused("当前不能为空!");
    if (heading.find(kEntrySeparator) != std::string::npos)
        return Error::refused("列名称中不能含有“|@|”，请换一个名称。");
    // Only the entry that was clicked may be renamed: if the lists changed
    // since, the stored position may point at another entry or past the end.
    if (at < 0 || at >= static_cast<int>(chosen.size()) || chosen[at].column != column)
        return Error::refused("要修改的列已不在导出列表中的原位置，请重新点选它。");
    chosen[at].heading = heading;
    return Status::Ok();
}

}  // namespace tabrovin
