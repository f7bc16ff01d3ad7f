// The two export lists: moving entries and renaming headings.
#include <gtest/gtest.h>

#include "export/export_lists.h"
#include "tests/support/test_support.h"

using namespace tabrovin;
namespace tt = tabrovin::testing;
using Entries = std::vector<std::string>;

namespace {

Entries shown(const std::vector<ExportColumn>& list) {
    Entries out;
    for (const auto& c : list) out.push_back(makeEntry(c));
    return out;
}

// The five columns of the column list, List2 full and List3 empty.
ExportLists fiveColumns() {
    return ExportLists::fromColumnNames({"名", "电话", "城", "备注", "编号"});
}

// Moves the available entry of `column` to the chosen list.
void pick(ExportLists& l, int column) {
    for (size_t i = 0; i < l.available.size(); ++i)
        if (l.available[i].column == column) {
            ASSERT_TRUE(l.moveToExport(static_cast<int>(i)));
            return;
        }
    FAIL() << "column " << column << " is not available";
}

}  // namespace

TEST(ExportLists, ChosenEntriesKeepTheOrderOfPicking) {
    auto l = fiveColumns();
    pick(l, 4);
    pick(l, 0);
    pick(l, 2);
    EXPECT_EQ(shown(l.chosen), (Entries{"编号|@|4", "名|@|0", "城|@|2"}));
    EXPECT_EQ(shown(l.available), (Entries{"电话|@|1", "备注|@|3"}));
    ASSERT_TRUE(l.moveBack(1));
    EXPECT_EQ(shown(l.available).back(), "名|@|0");  // back at the end, not in its old place
    EXPECT_FALSE(l.moveToExport(-1));
    EXPECT_FALSE(l.moveToExport(3));
    EXPECT_FALSE(l.moveBack(2));
    EXPECT_EQ(l.chosen.size() + l.available.size(), 5u);
}

TEST(ExportLists, MoveAllAlternatesAndKeepsOrder) {
    auto l = fiveColumns();
    pick(l, 3);
    l.moveAll();
    EXPECT_FALSE(l.moveAllForward);  // the button now shows "<<"
    EXPECT_EQ(shown(l.chosen), (Entries{"备注|@|3", "名|@|0", "电话|@|1", "城|@|2", "编号|@|4"}));
    EXPECT_TRUE(l.available.empty());
    l.moveAll();
    EXPECT_TRUE(l.moveAllForward);
    EXPECT_EQ(shown(l.available),
              (Entries{"备注|@|3", "名|@|0", "电话|@|1", "城|@|2", "编号|@|4"}));
}

TEST(ExportLists, RenameChangesTheClickedEntryOnly) {
    auto l = fiveColumns();
    pick(l, 1);
    pick(l, 2);
    ASSERT_TRUE(l.rename(1, 2, "城市").ok());
    EXPECT_EQ(shown(l.chosen), (Entries{"电话|@|1", "城市|@|2"}));

    for (const char* bad : {"", "a|@|b", "|@|", "城|@|5"})
        EXPECT_TRUE(tt::failsWith(l.rename(1, 2, bad), err::kRefused)) << bad;
    // Stale clicks: past the end now, another column there, or no entry.
    for (auto [at, column] : {std::pair{2, 2}, {0, 2}, {-1, 1}})
        EXPECT_TRUE(tt::failsWith(l.rename(at, column, "新"), err::kRefused)) << at;
    EXPECT_EQ(shown(l.chosen), (Entries{"电话|@|1", "城市|@|2"}));

    // The renamed entry keeps its heading through a move back and forth.
    ASSERT_TRUE(l.moveBack(1));
    pick(l, 2);
    EXPECT_EQ(shown(l.chosen).back(), "城市|@|2");
}

TEST(ExportLists, HeadingsHoldingTheSeparatorStayApartFromTheColumn) {
    // Such a heading can come from a workbook; it must never name another column.
    auto l = ExportLists::fromColumnNames({"a|@|3", "b", "", "c|@|"});
    l.moveAll();
    EXPECT_EQ(l.chosen, (std::vector<ExportColumn>{{"a|@|3", 0}, {"b", 1}, {"", 2}, {"c|@|", 3}}));
}
