#pragma once
#include <cstdint>
#include <vector>

#include "core/progress.h"
#include "core/workspace.h"
#include "export/export_lists.h"

namespace tabrovin {

constexpr int32_t kMaxRowsPerWorkbook = 65535;  // one row of an .xls sheet holds the headings

struct ExportRequest {
    std::vector<ExportColumn> columns;  // in export order
    int32_t rowsPerWorkbook = 1000;
};

struct ExportReport {
    int32_t pages = 0;             // pages the table was divided into
    std::vector<int> failedPages;  // pages that could not be written
    // Failed pages whose older file the user protected: kept, so they still
    // hold an earlier export.
    std::vector<int> protectedPages;
    int32_t written() const { return pages - static_cast<int32_t>(failedPages.size()); }
};

// Writes wen into workbooks of rowsPerWorkbook rows each, in id order, as
// 导出/转换后的<page>.xls. No columns, a row count outside 1..65535 or an
// empty table are refused before anything is written. A page that fails is
// reported through Progress::partFailed, leaves no file of its number (but
// an older one the user write-protected stays, named in protectedPages), and
// the next page follows. A cancel keeps the pages already written.
Result<ExportReport> runExport(Workspace& ws, const ExportRequest& request, Progress& progress);

}  // namespace tabrovin
