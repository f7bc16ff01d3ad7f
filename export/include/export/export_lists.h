#pragma once
// The export lists: the columns not chosen (List2) and the chosen ones in
// export order (List3). Entries are kept as values, heading and column apart,
// so a heading holding the separator can never move data to another column;
// the text "heading|@|k" exists only for display.

#include <string>
#include <vector>

#include "base/error.h"

namespace tabrovin {

constexpr const char* kEntrySeparator = "|@|";

struct ExportColumn {
    std::string heading;
    int column = 0;  // k of table column a<k>
    bool operator==(const ExportColumn&) const = default;
};

// The entry as the lists show it: heading + "|@|" + column number.
std::string makeEntry(const ExportColumn& c);

struct ExportLists {
    std::vector<ExportColumn> available;  // List2
    std::vector<ExportColumn> chosen;     // List3
    bool moveAllForward = true;           // the caption of cmd(1): ">>" or "<<"

    // Opening the export view: every column named in the column list, in
    // order, available; nothing chosen.
    static ExportLists fromColumnNames(const std::vector<std::string>& names);
    // cmd(1): moves every entry of one list to the end of the other, in the
    // direction the caption shows, which then flips.
    void moveAll();
    // A double-click: entry `at` of one list moves to the end of the other.
    // False (nothing moved) when `at` is no entry.
    bool moveToExport(int at);
    bool moveBack(int at);
    // Gives chosen entry `at` the new heading, provided it still holds
    // `column` (the lists may have changed since it was clicked). A heading
    // that is empty or holds "|@|" is refused with the message to show.
    Status rename(int at, int column, const std::string& heading);
};

}  // namespace tabrovin
