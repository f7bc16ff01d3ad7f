#pragma once
// The export lists: List2 holds the columns not chosen, List3 the chosen
// ones in export order. Each entry reads heading + "|@|" + column number.

#include <optional>
#include <string>
#include <vector>

#include "core/session.h"

namespace tabrovin {

constexpr const char* kEntrySeparator = "|@|";

struct ExportColumn {
    std::string heading;
    int column = 0;  // k of table column a<k>
};

std::string makeEntry(const std::string& heading, int column);
// Splits an entry at "|@|": piece 0 the heading, piece 1 the column number.
// std::nullopt when piece 1 is missing or not a column number.
std::optional<ExportColumn> parseEntry(const std::string& entry);
// The columns of List3, in order; err::kInvalidArgument for a damaged entry.
Result<std::vector<ExportColumn>> exportColumns(const WindowPort& window);

// Opening the export view: List2 rebuilt from Combo1, List3 emptied.
void fillExportLists(Session& s);
// cmd(1): moves every entry of one list to the end of the other, the
// direction shown by its caption ">>" or "<<", which then flips.
void moveAllExportColumns(Session& s);
// cmd(0): gives the List3 entry last clicked the heading in Text3.
void renameExportHeading(Session& s);
// Double-click in List2 / List3: the selected entry moves to the other list.
void moveSelectedToExport(Session& s);
void moveSelectedBack(Session& s);
// Click in List3: the selected entry's heading, column number and position
// go to Text3, Label15 and Label16.
void loadSelectedHeading(Session& s);

}  // namespace tabrovin
