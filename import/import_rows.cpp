#include "import/import_rows.h"

#include <algorithm>

#include "core/buttons.h"
#include "core/numbers.h"
#include "core/statements.h"
#include "import/open_workbook.h"
#include "platform/cell_text.h"
#include "platform/workbook.h"

namespace tabrovin {
namespace {

constexpr const char* kTitle = "ZazIV : 导入数据2出错! # ";
constexpr int kBlockRows = 50;
constexpr int kRowsPerCommit = 50000;

struct ImportPlan {
    int sheet = 1;
    int32_t pauseEvery = 500;
    std::vector<int> positions;  // ticked List1 positions, 1-based
};

// Inserts the rows handed over by the reader, keeping the counters and pauses.
class RowInserter {
  public:
    RowInserter(Session& s, PreparedStatement& insert, const ImportPlan& plan, int32_t lastRow)
        : s_(s), insert_(insert), plan_(plan), lastRow_(lastRow) {}

    Status operator()(int32_t row, const std::vector<std::string>& cells) {
        values_.clear();
        bool any = false;
        for (int pos : plan_.positions) {
            bool inRange = pos <= static_cast<int>(cells.size());
            any = any || inRange;
            values_.push_back(inRange ? cell_text::stripNul(cells[pos - 1]) : std::string());
        }
        if (any) {
            TABROVIN_TRY(insert_.run(values_));
            // The bound of the row's block of 50, as the progress counter shows
            // it; set once a block, since a window label relays itself out.
            int32_t block = (row - 2) / kBlockRows;
            int32_t bound = std::min(kBlockRows * block + 2 + kBlockRows, lastRow_ + 1);
            if (bound != shownBound_) {
                shownBound_ = bound;
                s_.window.setCaption(Label::Label8, std::to_string(bound));
            }
            if (++sinceCommit_ >= kRowsPerCommit) TABROVIN_TRY(commitAndBegin());
        }
        if (++counter_ > plan_.pauseEvery) {
            TABROVIN_TRY(commitAndBegin());
            s_.pause();
            counter_ = 0;
        }
        return Status::Ok();
    }

    Status commitAndBegin() {
        sinceCommit_ = 0;
        TABROVIN_TRY(s_.conn.commit());
        return s_.conn.begin();
    }

  private:
    Session& s_;
    PreparedStatement& insert_;
    const ImportPlan& plan_;
    int32_t lastRow_;
    std::vector<std::string> values_;
    int32_t counter_ = 0;
    int32_t shownBound_ = -1;
    int sinceCommit_ = 0;
};

Result<ImportPlan> readPlan(const WindowPort& w) {
    ImportPlan plan;
    auto n = worksheetNumber(w);
    if (!n) return n.error();
    plan.sheet = *n;
    auto p = toInt32(w.text(TextBox::Text5));
    if (!p) return p.error();
    plan.pauseEvery = *p;
    plan.positions = tickedPositions(w);
    return plan;
}

Status importSheet(Session& s, const std::string& path, const ImportPlan& plan) {
    TABROVIN_TRY(s.openConn());
    if (plan.positions.empty())
        return Error{err::kInvalidArgument,
                     "没有勾选要导入的列, 请在\"选择你要导入的列\"中至少勾选一列"};
    auto sql = statements::insertRow(static_cast<int>(plan.positions.size()));
    if (!sql) return sql.error();
    auto insert = s.conn.prepare(*sql);
    if (!insert) return insert.error();
    auto book = openWorkbookFile(pathFromUtf8(path));
    if (!book) return book.error();
    auto sheet = (*book)->worksheet(plan.sheet);
    if (!sheet) return sheet.error();
    SheetSize size = (*sheet)->size();
    const int32_t r = std::max(size.rows, 1) - 1, c = std::max(size.columns, 1) - 1;
    s.window.setCaption(Label::Label6, std::to_string(r));
    s.window.setCaption(Label::Label7, std::to_string(c));
    s.window.setCaption(Label::Label8, "0");
    if (r < 1) return Status::Ok();
    RowInserter inserter(s, *insert, plan, r + 1);
    TABROVIN_TRY(s.conn.begin());
    Status read = (*sheet)->readRows(2, r + 1, c + 1, std::ref(inserter));
    // Every row inserted before an error stays: commit them either way.
    Status committed = s.conn.commit();
    TABROVIN_TRY(read);
    TABROVIN_TRY(committed);
    s.window.setCaption(Label::Label8, std::to_string(r));
    return Status::Ok();
}

void refillColumnChooser(WindowPort& w) {
    w.comboClear();
    for (int i = 0; i < w.count(ListBox::List1); ++i)
        if (w.checked(i)) w.comboAdd(w.item(ListBox::List1, i));
    w.setComboIndex(w.comboCount() > 0 ? 0 : -1);
}

}  // namespace

std::vector<int> tickedPositions(const WindowPort& w) {
    std::vector<int> positions;
    for (int i = 0; i < w.count(ListBox::List1); ++i)
        if (w.checked(i)) positions.push_back(i + 1);
    return positions;
}

void importRows(Session& s, const std::string& path) {
    auto plan = readPlan(s.window);
    if (!plan) return s.errorBox(kTitle, plan.error());
    if (plan->positions.size() > statements::kMaxColumns) {
        return s.message("一次最多只能导入 51 列, 现在勾选了 " +
                             std::to_string(plan->positions.size()) +
                             " 列。请取消勾选一些列后再开始导入。",
                         Icon::Information);
    }
    s.window.setList1Enabled(false);
    setButtons(s.window, kNoButtonAlt, 0);
    Status st = importSheet(s, path, *plan);
    setButtons(s.window, kNoButton, 1);
    if (!st.ok()) return s.errorBox(kTitle, st.error());
    refillColumnChooser(s.window);
    s.message("导入完成了!", Icon::Information);
}

}  // namespace tabrovin
