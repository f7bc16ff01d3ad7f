#include "app/outcomes.h"

namespace tabrovin {

const char* const kWorkbookFilter =
    "xls|*.xls|Excel 工作簿|*.xlsx|OpenDocument 表格|*.ods|CSV 文本|*.csv|所有文件|*.*";

Message errorMessage(Step step, const Error& e) {
    if (e.number == err::kRefused || e.number == err::kCancelled || e.number == err::kBusy)
        return {e.description, kProgramTitle, Icon::Information};
    static const char* const kTags[] = {"ZazIV : 导入数据1出错! # ",
                                        "ZazIV : 导入数据2出错! # ",
                                        "删除1出错 # ",
                                        "删除2出错 # ",
                                        "ZazIV : 导出数据0出错! # ",
                                        "ZazIV : 导出数据1出错! # ",
                                        "撤销出错 # ",
                                        "查看数据出错 # "};
    return {e.description, kTags[static_cast<int>(step)] + std::to_string(e.number),
            Icon::Critical};
}

Message noWorkbookChosen() {
    return {"Excel地址不能为空,无法完成，请选择!", kProgramTitle, Icon::Exclamation};
}

Message importDone() {
    return {"导入完成了!"};
}

Message rowsLeft(int32_t left) {
    return {"去重复完成了,总数还有" + std::to_string(left) + "!"};
}

Message exportDone(const ExportReport& r) {
    if (r.failedPages.empty())
        return {" 完成了导出," + std::to_string(r.pages) + "页,存于[导出]文件夹下."};
    std::string failed;
    for (int p : r.failedPages) failed += (failed.empty() ? "" : "、") + std::to_string(p);
    return {"导出没有全部完成：共 " + std::to_string(r.pages) + " 页，其中 " +
                std::to_string(r.failedPages.size()) + " 页（第 " + failed + " 页）没有写成，" +
                std::to_string(r.written()) + " 页存于[导出]文件夹下。",
            kProgramTitle, Icon::Exclamation};
}

Message headingRenamed() {
    return {"修改了导出Excel的某一个列名称."};
}

Message undoDone(const UndoReport& r) {
    return {"已撤销上一步（" + r.step + "），工作数据表恢复为 " + std::to_string(r.rows) + " 行。"};
}

}  // namespace tabrovin
