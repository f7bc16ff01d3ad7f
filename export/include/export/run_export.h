#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/progress.h"
#include "core/workspace.h"
#include "export/export_lists.h"

namespace tabrovin {

// One row of a sheet holds the headings.
constexpr int32_t kMaxRowsPerWorkbook = 65535;
constexpr int32_t kMaxRowsPerXlsxWorkbook = 1048575;
// A split into more files than this is refused unless the request allows more.
constexpr int64_t kMaxSplitFiles = 10000;
// The window asks before a split into more files than this.
constexpr int64_t kSplitFilesToConfirm = 500;

enum class PageFormat { Xls, Xlsx };

// One workbook per value of a column instead of pages of the whole table.
struct SplitBy {
    int column = 0;    // k of table column a<k>
    std::string name;  // the column's name, for the run's folder
};

struct ExportRequest {
    ExportRequest() = default;
    ExportRequest(std::vector<ExportColumn> chosen, int32_t rows)
        : columns(std::move(chosen)), rowsPerWorkbook(rows) {}

    std::vector<ExportColumn> columns;  // in export order
    int32_t rowsPerWorkbook = 1000;
    PageFormat format = PageFormat::Xls;
    std::optional<SplitBy> split;
    int64_t maxFiles = kMaxSplitFiles;
    std::string stamp;  // a split folder's time "YYYYMMDD-HHMMSS"; empty: now
};

struct ExportReport {
    int32_t pages = 0;             // pages (files) the table was divided into
    std::vector<int> failedPages;  // pages that could not be written, from 1
    // Failed pages whose older file the user protected: kept, so they still
    // hold an earlier export.
    std::vector<int> protectedPages;
    std::string folder;  // a split's subfolder of 导出; "" for pages
    int32_t written() const { return pages - static_cast<int32_t>(failedPages.size()); }
};

// The extension of the format's files: ".xls" or ".xlsx".
std::string fileExtension(PageFormat format);

// The number of files a split would write (each value's rows in files of
// rowsPerWorkbook), counted before anything is written. Refusals as
// runExport's, but for the count of files.
Result<int64_t> countSplitFiles(Workspace& ws, const ExportRequest& request);

// Writes wen into workbooks of rowsPerWorkbook rows each, in id order, as
// 导出/转换后的<page>.xls (or .xlsx). No columns, a row count outside
// 1..65535 (1..1048575 for .xlsx), an empty table or a template that cannot
// serve are refused before anything is written. A page that fails is
// reported through Progress::partFailed, leaves no file of its number (but
// an older one the user write-protected stays, named in protectedPages), and
// the next page follows. A cancel keeps the pages already written.
// With `split`, every distinct value of that column gets its own workbooks,
// in the order of the value's first row, named after the value (see
// split_names.h), in a new folder 导出/按<name>拆分-<stamp>; more than
// maxFiles files are refused before the folder is made.
Result<ExportReport> runExport(Workspace& ws, const ExportRequest& request, Progress& progress);

}  // namespace tabrovin
