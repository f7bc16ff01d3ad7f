#pragma once
// Exports written file after file from one pass over the rows: .xlsx pages,
// and the files of a split by value.

#include <cstdint>
#include <filesystem>
#include <vector>

#include "core/progress.h"
#include "export/run_export.h"
#include "export/write_export_workbook.h"
#include "platform/database.h"

namespace tabrovin {

struct PlannedFile {
    std::filesystem::path out;
    int64_t rows = 0;
    int64_t first = 0;  // the first id of the file's value; 0 for pages of the whole table
};

// Writes `files` in order, each from the next `rows` rows of `query`, whose
// rows are: the first id of their value, their id, then the cells. A file
// that cannot be written is reported through Progress::partFailed (numbered
// from 1), leaves no file under its name, and the next follows; a row that
// is missing or of another value than its file's ends the run with an error
// (the table changed under it). Gives the number of files done, written or
// failed: fewer than planned when a cancel stopped it, which drops the file
// being written and keeps those finished.
Result<int32_t> writeFiles(Database& db, const Statement& query,
                           const std::vector<PlannedFile>& files,
                           const ExportWorkbookWriter& writer, ExportReport& report,
                           Progress& progress);

}  // namespace tabrovin
