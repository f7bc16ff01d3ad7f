#include "app/outcomes.h"

namespace tabrovin {

const char* const kWorkbookFilter =
    "xls|*.xls|所有文件（*.*）|*.*|Excel 工作簿|*.xlsx|OpenDocument 表格|*.ods|CSV 文本|*.csv";

Message errorMessage(Step step, const Error& e) {
    if (!e.isFailure()) return {e.description, kProgramTitle, Icon::Information};
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

Message startRefused(const Error& e) {
    return {e.description, kProgramTitle, Icon::Critical};
}

Message importDone() {
    return {"导入完成了!"};
}

Message rowsLeft(int32_t left) {
    return {"去重复完成了,总数还有" + std::to_string(left) + "!"};
}

namespace {

// A split's files, named by count and folder; pages keep the old wording.
Message splitDone(const ExportReport& r) {
    const std::string where = "[导出/" + r.folder + "]文件夹下";
    if (r.failedPages.empty())
        return {" 完成了导出," + std::to_string(r.pages) + "个文件,存于" + where + "."};
    std::string failed;
    for (int p : r.failedPages) failed += (failed.empty() ? "" : "、") + std::to_string(p);
    return {"导出没有全部完成：共 " + std::to_string(r.pages) + " 个文件，其中 " +
                std::to_string(r.failedPages.size()) + " 个（第 " + failed + " 个）没有写成，" +
                std::to_string(r.written()) + " 个存于" + where + "。",
            kProgramTitle, Icon::Exclamation};
}

}  // namespace

Message exportDone(const ExportReport& r) {
    if (!r.folder.empty()) return splitDone(r);
    if (r.failedPages.empty())
        return {" 完成了导出," + std::to_string(r.pages) + "页,存于[导出]文件夹下."};
    auto listed = [](const std::vector<int>& pages) {
        std::string out;
        for (int p : pages) out += (out.empty() ? "" : "、") + std::to_string(p);
        return out;
    };
    std::string text = "导出没有全部完成：共 " + std::to_string(r.pages) + " 页，其中 " +
                       std::to_string(r.failedPages.size()) + " 页（第 " + listed(r.failedPages) +
                       " 页）没有写成，" + std::to_string(r.written()) + " 页存于[导出]文件夹下。";
    if (!r.protectedPages.empty())
        text += "第 " + listed(r.protectedPages) +
                " 页的旧文件是只读的，没有删除，其中仍是以前导出的内容。";
    return {text, kProgramTitle, Icon::Exclamation};
}

Message headingRenamed() {
    return {"修改了导出Excel的某一个列名称."};
}

Message undoDone(const UndoReport& r) {
    return {"已撤销上一步（" + r.step + "），工作数据表恢复为 " + std::to_string(r.rows) + " 行。"};
}

}  // namespace tabrovin
