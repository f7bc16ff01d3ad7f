// Duplicate filtering on a real working table.
#include "core/undo.h"
#include "processing/filter_duplicates.h"
#include "tests/support/workspace_fixture.h"

using namespace tabrovin;
using tabrovin::testing::WorkspaceTest;
namespace tt = tabrovin::testing;
using Rows = std::vector<std::vector<std::string>>;

class FilterDuplicates : public WorkspaceTest {
  protected:
    Result<DedupeReport> dedupe(int column = 1, int32_t pauseEvery = 500) {
        return filterDuplicates(ws, {column, pauseEvery}, progress);
    }
    // `n` rows whose a1 takes `distinct` values in turn.
    void fillRepeating(int n, int distinct) {
        Rows rows;
        for (int i = 0; i < n; ++i) rows.push_back({"x", std::to_string(i % distinct)});
        fill(rows);
    }
};

TEST_F(FilterDuplicates, PausesEveryIntervalPlusOneGroups) {
    fillRepeating(2000, 1000);
    ASSERT_TRUE(dedupe(1, 500).ok());  // one pause, after group 501
    EXPECT_EQ(progress.pauses, 1);
    EXPECT_EQ(progress.values(Counter::Done), (std::vector<int64_t>{501}));
    EXPECT_EQ(rowCount(), 1000);
    for (int32_t every : {0, -5}) {  // nothing below "after every group"
        progress.pauses = 0;
        ASSERT_TRUE(dedupe(1, every).ok());
        EXPECT_EQ(progress.pauses, 1000) << every;
    }
}

TEST_F(FilterDuplicates, ACancelAnywhereBeforeTheDeleteOrAnErrorKeepsEveryRow) {
    fillRepeating(600, 300);
    // At the first of the 300 rows to keep, midway, and at the last one.
    for (int checks : {0, 120, 299}) {
        progress.cancelAfter(checks);
        EXPECT_TRUE(tt::failsWith(dedupe(1, 50), err::kCancelled)) << checks;
        EXPECT_EQ(rowCount(), 600) << checks;
    }
    progress.cancelAfter(-1);
    EXPECT_TRUE(tt::failsWith(dedupe(-1), err::kNoSuchColumn, "-1"));
    EXPECT_EQ(rowCount(), 600);
    EXPECT_EQ(dedupe()->left, 300);  // nothing half-done stays in the way

    std::filesystem::remove(ws.paths.workingDb());
    EXPECT_TRUE(tt::failsWith(dedupe(), err::kFileNotFound, "data.mdb"));
}

// Which values count as equal is the scan's; here the chosen column and the
// options beside it: which rows stay, the count promised beforehand, the
// report, pauses still counted in groups, and undo after each.
TEST_F(FilterDuplicates, MoreColumnsAndNormalisationsKeepTheFirstOfEachGroupAndUndo) {
    EXPECT_EQ(dedupe()->left, 0);  // an empty table
    fill({{"a", "北京", "Ａ1"},
          {"b", "北京", "a1"},
          {"c", " 北京\u3000", "A1 "},
          {"d", "上海", "a1"},
          {"e", "北京"},
          {"f", "北京", ""},
          {"g", "北京"},
          {"h", "上海", "ａ１"}});
    const auto before = table(3);
    struct Case {
        DedupeRequest request;
        std::string kept;
    };
    const std::vector<Case> cases = {
        {{1, std::nullopt}, "acd"},
        {{1, std::nullopt, {2}}, "abcdefh"},
        {{1, std::nullopt, {2}, true}, "abdefh"},
        {{1, std::nullopt, {2}, false, true}, "acdef"},
        {{1, std::nullopt, {2, 1, 2}, true, true}, "adef"},
        {{2, std::nullopt, {}, true, true}, "aef"},
        {{1, 0, {2}, true, true}, "adef"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kept);
        auto promised = countDuplicateRows(ws, c.request);
        ASSERT_TRUE(promised.ok()) << promised.error().description;
        EXPECT_EQ(*promised, 8 - static_cast<int64_t>(c.kept.size()));
        progress.pauses = 0;
        auto r = filterDuplicates(ws, c.request, progress);
        ASSERT_TRUE(r.ok()) << r.error().description;
        EXPECT_EQ(r->before, 8);
        EXPECT_EQ(r->left, static_cast<int32_t>(c.kept.size()));
        EXPECT_EQ(progress.pauses, c.request.pauseEvery ? r->left : 0);
        std::string kept;
        for (const auto& row : table(1)) kept += row[0];
        EXPECT_EQ(kept, c.kept);
        ASSERT_TRUE(undoLastStep(ws).ok());
        EXPECT_EQ(table(3), before);
    }
    EXPECT_TRUE(tt::failsWith(filterDuplicates(ws, {1, std::nullopt, {51}}, progress),
                              err::kNoSuchColumn, "51"));
    EXPECT_TRUE(tt::failsWith(countDuplicateRows(ws, {1, std::nullopt, {-1}}), err::kNoSuchColumn));
    EXPECT_EQ(table(3), before);
}
