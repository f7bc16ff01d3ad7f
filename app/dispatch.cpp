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

}  // namespace

void cmdClick(Session& s, int index) {
    if (s.busy()) return;
    ActionScope scope(s);
    switch (index) {
        case 0:
            renameExportHeading(s);
            break;
        case 1:
            moveAllExportColumns(s);
            break;
        case 2:
            runExport(s);
            break;
        case 3:
            deleteKeywordRows(s);
            break;
        case 4:
            filterDuplicates(s);
            break;
        case 5:
            importRows(s, s.xlsPath);
            break;
        case 6:
            chooseWorkbook(s);
            break;
        default:
            break;
    }
}

void menuClick(Session& s, int index) {
    if (s.busy()) return;
    ActionScope scope(s);
    if (index == 0) {
        s.window.showView(View::ImportAndProcessing);
    } else if (index == 1) {
        s.window.showView(View::Export);
        fillExportLists(s);
    }
}

void list2DblClick(Session& s) {
    if (s.busy()) return;
    ActionScope scope(s);
    moveSelectedToExport(s);
}

void list3Click(Session& s) {
    if (s.busy()) return;
    ActionScope scope(s);
    loadSelectedHeading(s);
}

void list3DblClick(Session& s) {
    if (s.busy()) return;
    ActionScope scope(s);
    moveSelectedBack(s);
}

}  // namespace tabrovin
