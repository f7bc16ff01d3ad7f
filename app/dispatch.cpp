#include "app/dispatch.h"

#include "core/column_list.h"
#include "export/export_lists.h"
#include "export/run_export.h"
#include "import/import_rows.h"
#include "import/open_workbook.h"
#include "processing/delete_keyword_rows.h"
#include "processing/filter_duplicates.h"

namespace tabrovin {

const char* const kWorkbookFilter =
    "xls|*.xls|Excel 工作簿 (*.xlsx)|*.xlsx|OpenDocument 表格 (*.ods)|*.ods|"
    "CSV 文本 (*.csv)|*.csv|所有文件（*.*）|*.*";

void formLoad(Session& s) {
    column_list::load(s.window, s.paths.columnList());
}

bool formQueryUnload(Session& s) {
    if (s.busy()) return false;
    Status saved = column_list::save(s.window, s.paths.columnList());
    s.conn.release();
    if (!saved.ok()) s.message(saved.error().description, Icon::Critical);
    return true;
}

namespace {

void chooseWorkbook(Session& s) {
    s.xlsPath = s.window.chooseFile(kWorkbookFilter);
    if (s.xlsPath.empty()) {
        s.message("Excel地址不能为空,无法完成，请选择!", Icon::Exclamation);
        return;
    }
    openWorkbook(s, s.xlsPath);
}

// Runs `action` unless another one is running, marking the session busy.
void runAlone(Session& s, void (*action)(Session&)) {
    if (s.busy()) return;
    ActionScope scope(s);
    action(s);
}

void importChosen(Session& s) {
    importRows(s, s.xlsPath);
}
void showImportView(Session& s) {
    s.window.showView(View::ImportAndProcessing);
}
void showExportView(Session& s) {
    s.window.showView(View::Export);
    fillExportLists(s);
}

}  // namespace

void cmdClick(Session& s, int index) {
    static void (*const kActions[kButtonCount])(Session&) = {
        renameExportHeading, moveAllExportColumns, runExport,     deleteKeywordRows,
        filterDuplicates,    importChosen,         chooseWorkbook};
    if (index >= 0 && index < kButtonCount) runAlone(s, kActions[index]);
}

void menuClick(Session& s, int index) {
    if (index == 0) runAlone(s, showImportView);
    if (index == 1) runAlone(s, showExportView);
}

void list2DblClick(Session& s) {
    runAlone(s, moveSelectedToExport);
}
void list3Click(Session& s) {
    runAlone(s, loadSelectedHeading);
}
void list3DblClick(Session& s) {
    runAlone(s, moveSelectedBack);
}

}  // namespace tabrovin
