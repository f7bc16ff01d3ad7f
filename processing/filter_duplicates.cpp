#include "processing/filter_duplicates.h"

#include "core/buttons.h"
#include "core/numbers.h"
#include "core/statements.h"

namespace tabrovin {
namespace {

constexpr const char* kTitle = "删除1出错 # ";

// Notes the rows to keep, pausing every `pauseEvery` + 1 groups.
Status collectFirstRows(Session& s, const std::vector<int64_t>& ids, int32_t pauseEvery) {
    for (const auto& st : statements::startKeepList()) TABROVIN_TRY(s.conn.run(st));
    auto keep = s.conn.prepare(statements::keepRow());
    if (!keep) return keep.error();
    int32_t processed = 0, batch = 0;
    TABROVIN_TRY(s.conn.begin());
    for (int64_t id : ids) {
        Status st = keep->run({std::to_string(id)});
        if (!st.ok()) {
            (void)s.conn.commit();
            return st;
        }
        ++processed;
        if (++batch > pauseEvery) {
            TABROVIN_TRY(s.conn.commit());
            s.pause();
            s.window.setCaption(Label::Label8, std::to_string(processed));
            batch = 0;
            TABROVIN_TRY(s.conn.begin());
        }
    }
    return s.conn.commit();
}

Result<int32_t> filter(Session& s, int column) {
    TABROVIN_TRY(s.openConn());
    auto pauseEvery = toInt32(s.window.text(TextBox::Text5));
    if (!pauseEvery) return pauseEvery.error();
    auto firstIds = statements::firstIdPerValue(column);
    if (!firstIds) return firstIds.error();
    auto total = s.conn.readNumber(statements::countRows());
    if (!total) return total.error();
    s.window.setCaption(Label::Label6, std::to_string(*total));
    auto ids = s.conn.readNumbers(*firstIds);
    if (!ids) return ids.error();
    TABROVIN_TRY(collectFirstRows(s, *ids, *pauseEvery));
    // Marking and deleting happen together or not at all.
    TABROVIN_TRY(s.conn.begin());
    Status marked = s.conn.run(statements::markFromKeepList());
    if (marked.ok()) marked = s.conn.run(statements::deleteMarked());
    if (!marked.ok()) {
        (void)s.conn.rollback();
        return marked.error();
    }
    TABROVIN_TRY(s.conn.commit());
    (void)s.conn.run(statements::dropKeepList());
    return s.conn.readNumber(statements::countRows());
}

}  // namespace

void filterDuplicates(Session& s) {
    const int column = s.window.comboIndex();
    setButtons(s.window, kNoButtonAlt, 0);
    auto left = filter(s, column);
    setButtons(s.window, kNoButton, 1);
    if (!left) return s.errorBox(kTitle, left.error());
    s.window.setCaption(Label::Label6, std::to_string(*left));
    s.window.setCaption(Label::Label8, std::to_string(*left));
    s.message("去重复完成了,总数还有" + std::to_string(*left) + "!", Icon::Information);
}

}  // namespace tabrovin
