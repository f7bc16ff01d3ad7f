#pragma once
// Appending several workbooks to the working table in one step, their
// columns matched to the column list by heading rather than by position.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/progress.h"
#include "core/workspace.h"
#include "import/sheet_layout.h"

namespace tabrovin {

// The heading of the optional column that holds each row's file name.
inline constexpr std::string_view kSourceColumnHeading = "来源文件";

struct AppendRequest {
    std::vector<std::filesystem::path> workbooks;  // appended in this order
    int sheet = 1;                                 // the same sheet number in each
    SheetLayout layout{};
    // The headings the user saw listed and which of them stay ticked; a
    // heading unticked there is left out of every workbook (the second of two
    // equal headings only where it is the second). Empty: all taken.
    std::vector<std::string> listed;
    std::vector<bool> ticked;
    bool sourceColumn = false;  // store each row's file name under 来源文件
    std::optional<int32_t> pauseEvery = 500;
};

struct AppendReport {
    int32_t files = 0;                     // workbooks whose rows were appended
    int32_t dataRows = 0;                  // their data rows
    int64_t inserted = 0;                  // rows inserted
    std::vector<std::string> columnNames;  // the column list afterwards
};

// A heading as matching sees it: without leading and trailing blanks (ASCII
// and full-width alike), and with CR LF or a lone CR read as one line feed.
std::string headingKey(std::string_view heading);

// The column of each of `headings` (one workbook's, in sheet order): the
// k-th equal heading goes into the k-th column of that name in `names`, a
// heading without one gets a new column at the end of `names`. Refused when
// that would pass 51 columns; `names` is then unchanged.
Result<std::vector<int>> mapHeadings(std::vector<std::string>& names,
                                     const std::vector<std::string>& headings);

// Appends the data rows of each workbook, in order, to the working table,
// after keeping it for undo. The column list is the current one when the
// table holds rows, else none; new headings extend it. Layouts a workbook
// cannot take and passing 51 columns are refused before any row is stored.
// An error in one workbook ends the step there, keeping the rows before it,
// and names the workbook, sheet and row.
Result<AppendReport> appendWorkbooks(Workspace& ws, const AppendRequest& request,
                                     Progress& progress);

}  // namespace tabrovin
