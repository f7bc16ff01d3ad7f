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
#include "platform/workbook.h"

namespace tabrovin {

// A worksheet opened and measured, shared by choosing and importing.
struct MeasuredSheet {
    std::unique_ptr<Workbook> book;
    std::unique_ptr<Worksheet> sheet;
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
};

struct OpenReport {
    int32_t dataRows = 0;               // sheet rows below the heading row
    int32_t columnsShown = 0;           // the used columns less one, as the counter shows them
    std::vector<std::string> headings;  // row 1; empty when there are no data rows
};

// Resets the working database from its blank template, then reads row 1 of
// the chosen worksheet. A path that exists but is no regular file (a pipe, a
// folder) and an unusable template are refused before the reset. Errors
// after the reset leave it done.
Result<OpenReport> openWorkbook(Workspace& ws, const OpenRequest& request, Progress& progress);

// The blank template, once proven usable, copied over the working database;
// no journal of the old database is left to be rolled into the new copy.
Status resetWorkingDatabase(Workspace& ws);

// `opened` when given, else the sheet of `workbook` opened now.
Result<std::shared_ptr<MeasuredSheet>> openedOrOpen(const std::filesystem::path& workbook,
                                                    int sheet,
                                                    const std::shared_ptr<MeasuredSheet>& opened);

// Row 1 of the measured sheet, as wide as its used range.
Result<std::vector<std::string>> readHeadings(MeasuredSheet& m);

}  // namespace tabrovin
