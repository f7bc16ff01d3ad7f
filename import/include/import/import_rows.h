#pragma once
// Copying the ticked columns of every data row of a worksheet into wen.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/progress.h"
#include "core/workspace.h"
#include "import/open_workbook.h"
#include "import/sheet_layout.h"

namespace tabrovin {

struct ImportRequest {
    std::filesystem::path workbook;
    int sheet = 1;
    std::vector<int> positions;         // ticked sheet columns, 1-based, in order
    std::vector<std::string> headings;  // their names: the new column list
    // Pause after every pauseEvery + 1 rows; none: no pauses, one transaction.
    std::optional<int32_t> pauseEvery = 500;
    // That sheet as the caller already opened it; null: opened here.
    std::shared_ptr<MeasuredSheet> opened = nullptr;
    SheetLayout layout{};  // rows taken as headings and data
};

struct ImportReport {
    int32_t dataRows = 0;      // the layout's data rows: by default rows 2 .. last with a value
    int32_t columnsShown = 0;  // used columns less one
    int64_t inserted = 0;      // rows inserted
};

// Copies the layout's data rows (by default sheet rows 2 through the last
// row with a value), the k-th ticked column into a<k>, and saves `headings`
// as the column list. More than 51 ticked columns, none, or a layout other
// than the default that leaves no data row are refused before anything
// changes; a sheet with headings only inserts no row and still saves the
// names. On an error or a cancel the rows inserted so far stay, and so does
// the column list that names them.
Result<ImportReport> importRows(Workspace& ws, const ImportRequest& request, Progress& progress);

}  // namespace tabrovin
