#include "export/run_export.h"

#include <algorithm>

#include "core/statements.h"
#include "export/write_export_workbook.h"

namespace tabrovin {
namespace {

// A killed export leaves its half-written pages beside the real ones under
// names like "转换后的3.xls.~123-0.tmp"; only this program writes such names.
void removeLeftoverPages(const std::filesystem::path& folder) {
    std::error_code ec;
    for (auto it = std::filesystem::directory_iterator(folder, ec);
         !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
        const std::string name = utf8FromPath(it->path().filename());
        if (name.rfind("转换后的", 0) == 0 && name.find(".xls.~") != std::string::npos &&
            name.ends_with(".tmp")) {
            std::error_code ignored;  // one still open elsewhere stays for the next run
            std::filesystem::remove(it->path(), ignored);
        }
    }
}

Status refuseBadRequest(const ExportRequest& r) {
    if (r.columns.empty()) return Error::refused("没有要导出的列!");
    if (r.rowsPerWorkbook < 1 || r.rowsPerWorkbook > kMaxRowsPerWorkbook)
        return Error::refused(
            "“每多少个一个excel”必须是 1 到 65535 之间的整数（一个 .xls 工作表最多 "
            "65536 行，第一行是列名）。");
    for (const auto& c : r.columns) TABROVIN_TRY(statements::columnName(c.column).status());
    return Status::Ok();
}

Status writePages(const Workspace& ws, Database& db, const ExportRequest& r, int32_t total,
                  ExportReport& report, Progress& progress) {
    auto largest = db.readNumber(statements::largestId());
    if (!largest) return largest.error();
    const int32_t n = r.rowsPerWorkbook;
    report.pages = total / n + (total % n ? 1 : 0);
    ExportWorkbookWriter writer(ws.paths, r.columns);
    TABROVIN_TRY(writer.loadTemplate());
    int64_t lower = 0;
    for (int32_t p = 1; p <= report.pages; ++p) {
        const int64_t writtenSoFar = p - 1 - static_cast<int64_t>(report.failedPages.size());
        TABROVIN_TRY(checkCancelled(
            progress, "已写出的 " + std::to_string(writtenSoFar) + " 页保留在“导出”文件夹中。"));
        const int64_t k = std::min<int64_t>(int64_t{n} * p, total);
        auto id = db.readOptionalNumber(statements::idAfter(lower, k - int64_t{n} * (p - 1)));
        if (!id) return id.error();
        const int64_t upper = id->value_or(*largest);
        const auto out = ws.paths.exportFile(p);
        if (Status page = writer.write(db, out, lower, upper); !page.ok()) {
            // An older export's page of this number would pass for this run's.
            std::error_code ec;
            if (std::filesystem::is_regular_file(out, ec)) std::filesystem::remove(out, ec);
            report.failedPages.push_back(p);
            progress.partFailed(p, page.error());
        }
        progress.advance(p, report.pages);
        progress.count(Counter::Done, p);
        lower = upper;
    }
    return Status::Ok();
}

}  // namespace

Result<ExportReport> runExport(Workspace& ws, const ExportRequest& request, Progress& progress) {
    TABROVIN_TRY(refuseBadRequest(request));
    // Exporting only reads the table.
    Database reader;
    TABROVIN_TRY(ws.openReader(reader));
    auto total = reader.readNumber(statements::countRows());
    if (!total) return total.error();
    if (*total == 0) return Error::refused("工作数据表中没有数据，没有导出任何文件。");
    removeLeftoverPages(ws.paths.exportDir());
    ExportReport report;
    TABROVIN_TRY(writePages(ws, reader, request, *total, report, progress));
    return report;
}

}  // namespace tabrovin
