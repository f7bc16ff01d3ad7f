// Rows come straight from the records when the records are in row order and
// from sorted cells when not; both give the same rows for any window.

#include <gtest/gtest.h>

#include "platform/xls/biff_workbook.h"
#include "tests/xls/xls_test_util.h"

namespace tabrovin::xls {
namespace {
using testutil::Bytes;
using testutil::Grid;
using testutil::Rec;

// Rows 1 to 4 and 6 hold cells; B2 is written twice (the later wins), row
// 3 is a formula whose text follows in a STRING record, and row 4's texts
// come in records split by one of row 4's numbers.
std::vector<Rec> inOrder() {
    using testutil::label, testutil::number;
    return {label(0, 0, "标题甲"),
            label(0, 2, "标题丙"),
            label(1, 1, "旧"),
            number(1, 0, 1),
            label(1, 1, "新"),
            {rec::kFormula, testutil::formulaCell(2, 0, testutil::kTextResult)},
            {rec::kString, testutil::unicodeString("公式文字")},
            label(3, 0, "长文字" + std::string(300, 'x')),
            number(3, 1, 2.5),
            label(3, 2, "尾"),
            number(5, 3, 7)};
}

const Grid kWant = {{"标题甲", "", "标题丙", ""},
                    {"1", "新", "", ""},
                    {"公式文字", "", "", ""},
                    {"长文字" + std::string(300, 'x'), "2.5", "尾", ""},
                    {"", "", "", ""},
                    {"", "", "", "7"}};

// Rows first..last of kWant, `columns` wide, empty past its edges.
Grid slice(int32_t first, int32_t last, int32_t columns) {
    Grid g;
    for (int32_t r = first; r <= last; ++r) {
        std::vector<std::string> row(static_cast<size_t>(columns));
        for (int32_t c = 0; c < columns && r <= 6; ++c)
            if (c < 4) row[c] = kWant[r - 1][c];
        g.push_back(row);
    }
    return g;
}

TEST(RowOrder, EveryWindowReadsTheSameInOrderOrNotAndASinkErrorStopsIt) {
    std::vector<Rec> shuffled = inOrder();
    std::swap(shuffled[0], shuffled[10]);  // row 6 first, row 1 last
    std::swap(shuffled[2], shuffled[4]);   // B2: "新" first, then "旧" wins
    for (bool ordered : {true, false}) {
        SCOPED_TRACE(ordered ? "in row order" : "out of order");
        auto book = parseWorkbookStream(testutil::bookStream({}, {ordered ? inOrder() : shuffled}),
                                        "rows.xls");
        ASSERT_TRUE(book.ok());
        auto sheet = (*book)->worksheet(1);
        ASSERT_TRUE(sheet.ok());
        Grid want = kWant;  // read whole, so the size is 6 x 4 too
        if (!ordered) want[1][1] = "旧";
        EXPECT_EQ(testutil::readGrid(**sheet), want);
        // A sink's error ends the read and is what the read returns.
        int calls = 0;
        Status st = (*sheet)->readRows(1, 6, 4, [&](int32_t row, const auto&) -> Status {
            ++calls;
            return row == 2 ? Status(Error::cancelled("")) : Status::Ok();
        });
        EXPECT_EQ(st.ok() ? 0 : st.error().number, err::kCancelled);
        EXPECT_EQ(calls, 2);
        if (!ordered) continue;
        // Windows one after another (an import read in parts), and back.
        const int32_t windows[][3] = {{1, 1, 4}, {2, 2, 4}, {3, 3, 4}, {4, 4, 3},
                                      {5, 9, 5}, {7, 8, 1}, {3, 2, 4}, {2, 4, 2},
                                      {1, 6, 4}, {3, 6, 4}, {4, 6, 4}};
        for (auto [first, last, columns] : windows)
            EXPECT_EQ(testutil::readGrid(**sheet, first, last, columns),
                      slice(first, last, columns))
                << first << ".." << last << " x " << columns;
    }
}

}  // namespace
}  // namespace tabrovin::xls
