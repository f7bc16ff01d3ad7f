#include "import/open_workbook.h"

#include <algorithm>

#include "core/undo.h"
#include "core/working_files.h"

namespace tabrovin {
namespace {

// Pipes and devices would block the reader for ever; folders are no workbooks.
Status refuseSpecialFile(const std::filesystem::path& p) {
    std::error_code ec;
    auto st = std::filesystem::status(p, ec);
    if (ec || !std::filesystem::exists(st) || std::filesystem::is_regular_file(st))
        return Status::Ok();
    return Error::fileAccess(p, "它不是普通文件（可能是文件夹、管道或设备），不能作为工作簿打开");
}

}  // namespace

Status resetWorkingDatabase(Workspace& ws) {
    TABROVIN_TRY(requireFile(ws.paths.blankDb()));
    // A damaged template would replace the user's rows with nothing usable.
    TABROVIN_TRY(checkWorkingTemplate(ws.paths.blankDb()));
    ws.conn.release();
    return restoreDatabase(ws.paths.blankDb(), ws.paths.workingDb());
}

Result<std::vector<std::string>> readHeadings(MeasuredSheet& m, int32_t row) {
    std::vector<std::string> headings;
    TABROVIN_TRY(m.sheet->readRows(row, row, m.lastColumn,
                                   [&](int32_t, const std::vector<std::string>& cells) {
                                       headings = cells;
                                       return Status::Ok();
                                   }));
    return headings;
}

Result<std::shared_ptr<MeasuredSheet>> openMeasuredSheet(const std::filesystem::path& workbook,
                                                         int sheet) {
    auto m = std::make_shared<MeasuredSheet>();
    auto book = openWorkbookFile(workbook);
    if (!book) return book.error();
    auto ws = (*book)->worksheet(sheet);
    if (!ws) return ws.error();
    m->book = std::move(*book);
    m->sheet = std::move(*ws);
    SheetSize size = m->sheet->size();
    // An empty sheet still has a used range of one cell.
    m->usedRows = std::max(size.rows, 1);
    m->dataRows = m->usedRows - 1;
    m->lastColumn = std::max(size.columns, 1);
    return m;
}

Result<std::shared_ptr<MeasuredSheet>> openedOrOpen(const std::filesystem::path& workbook,
                                                    int sheet,
                                                    const std::shared_ptr<MeasuredSheet>& opened) {
    if (opened) return opened;
    return openMeasuredSheet(workbook, sheet);
}

Result<OpenReport> openWorkbook(Workspace& ws, const OpenRequest& request, Progress& progress) {
    TABROVIN_TRY(refuseSpecialFile(request.workbook));
    TABROVIN_TRY(checkLayout(request.layout));
    std::shared_ptr<MeasuredSheet> early = request.opened;
    if (!request.layout.isDefault() || request.append) {
        // Measured before the reset, so that a layout the sheet cannot take
        // costs no rows; a workbook that does not open fails below as always.
        if (!early) {
            auto measured = openMeasuredSheet(request.workbook, request.sheet);
            if (measured) early = *measured;
        }
        if (early) TABROVIN_TRY(rowSpan(early->usedRows, request.layout));
    }
    if (!request.append) {
        auto snapshot = prepareSnapshot(ws, kChoiceStep);
        if (!snapshot) return snapshot.error();
        TABROVIN_TRY(resetWorkingDatabase(ws));
        TABROVIN_TRY(snapshot->keep());
    }
    auto opened = openedOrOpen(request.workbook, request.sheet, early);
    if (!opened) return opened.error();
    const auto& m = *opened;
    auto span = rowSpan(m->usedRows, request.layout);
    if (!span) return span.error();
    OpenReport report;
    report.dataRows = span->count();
    report.columnsShown = m->lastColumn - 1;
    progress.count(Counter::Rows, report.dataRows);
    progress.count(Counter::Columns, report.columnsShown);
    if (report.dataRows < 1) return report;
    auto headings = readHeadings(*m, span->headingRow);
    if (!headings) return headings.error();
    report.headings = std::move(*headings);
    return report;
}

}  // namespace tabrovin
