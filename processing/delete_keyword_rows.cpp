#include "processing/delete_keyword_rows.h"

#include "core/buttons.h"
#include "core/statements.h"

namespace tabrovin {
namespace {

constexpr const char* kTitle = "删除2出错 # ";

Result<int32_t> deleteRows(Session& s, int column, const std::string& keyword) {
    auto del = statements::deleteContaining(column, keyword);
    if (!del) return del.error();
    TABROVIN_TRY(s.openConn());
    TABROVIN_TRY(s.conn.run(*del));
    return s.conn.readNumber(statements::countRows());
}

}  // namespace

void deleteKeywordRows(Session& s) {
    const std::string keyword = s.window.text(TextBox::Text2);
    if (keyword.empty()) {
        // '%%' would match every row that has a value: almost certainly not meant.
        return s.message(
            "关键字不能为空! 请在\"相应的例删除包含下面关健字的\"中输入要删除的关键字。",
            Icon::Information);
    }
    setButtons(s.window, kNoButton, 0);
    const int column = s.window.comboIndex();
    auto left = deleteRows(s, column, keyword);
    if (!left) {
        setButtons(s.window, kNoButton, 1);
        return s.errorBox(kTitle, left.error());
    }
    s.window.setCaption(Label::Label6, std::to_string(*left));
    s.message("去重复完成了,总数还有" + std::to_string(*left) + "!", Icon::Information);
    setButtons(s.window, kNoButton, 1);
}

}  // namespace tabrovin
