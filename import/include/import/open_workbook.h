#pragma once
// Choosing a workbook: the working database starts again from its blank
// template, and the chosen worksheet's headings are listed.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/progress.h"
#include "core/workspace.h"
#include "import/sheet_layout.h"
#include "platform/workbook.h"

namespace tabrovin {

// A worksheet opened and measured, shared by choosing and importing.
struct MeasuredSheet {
    std::unique_ptr<Workbook> book;
    std::unique_ptr<Worksheet> sheet;
    int32_t usedRows = 1;    // rows of the used range, at least 1
    int32_t dataRows = 0;    // used rows less the heading row
    int32_t lastColumn = 0;  // used columns, at least 1
};
Result<std::shared_ptr<MeasuredSheet>> openMeasuredSheet(const std::filesystem::path& workbook,
                                                         int sheet);

struct OpenRequest {
    std::filesystem::path workbook;
    int sheet = 1;  // counted from 1
    // That sheet of that workbook as the caller already opened it, read
    // instead of opening the file once more; null: opened here.
    std::shared_ptr<MeasuredSheet> opened = nullptr;
    SheetLayout layout{};  // where the headings and data rows lie
    bool append = false;   // keep the working table: the import will add to it
};

struct OpenReport {
    int32_t dataRows = 0;               // the layout's data rows below the headings
    int32_t columnsShown = 0;           // the used columns less one, as the counter shows them
    std::vector<std::string> headings;  // the heading row; empty when there are no data rows
};

// Resets the working database from its blank template, then reads the
// heading row of the chosen worksheet. A path that exists but is no regular
// file (a pipe, a folder), an unusable template and a layout that does not
// fit the sheet are refused before the reset. Errors after the reset leave
// it done. With `append` the working database is neither kept for undo nor
// reset: the import that follows adds to it.
Result<OpenReport> openWorkbook(Workspace& ws, const OpenRequest& request, Progress& progress);

// The blank template, once proven usable, copied over the working database;
// no journal of the old database is left to be rolled into the new copy.
Status resetWorkingDatabase(Workspace& ws);

// `opened` when given, else the sheet of `workbook` opened now.
Result<std::shared_ptr<MeasuredSheet>> openedOrOpen(const std::filesystem::path& workbook,
                                                    int sheet,
                                                    const std::shared_ptr<MeasuredSheet>& opened);

// Row `row` (the headings) of the measured sheet, as wide as its used range.
Result<std::vector<std::string>> readHeadings(MeasuredSheet& m, int32_t row = 1);

}  // namespace tabrovin
