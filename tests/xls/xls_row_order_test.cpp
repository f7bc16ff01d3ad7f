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

Rec label(uint16_t row, uint16_t col, const std::string& text) {
    Bytes d = testutil::cellHead(row, col);
    Bytes s = testutil::unicodeString(text);
    d.insert(d.end(), s.begin(), s.end());
    return {rec::kLabel, d};
}

Rec number(uint16_t row, uint16_t col, double v) {
    Bytes d = testutil::cellHead(row, col);
    testutil::putDouble(d, v);
    return {rec::kNumber, d};
}

// A formula whose text result follows in a STRING record.
std::vector<Rec> formulaText(uint16_t row, uint16_t col, const std::string& text) {
    Bytes f = testutil::cellHead(row, col);
    f.insert(f.end(), {0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0});
    return {{rec::kFormula, f}, {rec::kString, testutil::unicodeString(text)}};
}

// Rows 1 to 4 and 6 hold cells; B2 is written twice (the later wins), row
// 3 starts with a formula's text and row 4's texts come in records split by
// one of row 4's numbers.
std::vector<Rec> inOrder() {
    std::vector<Rec> recs = {label(0, 0, "标题甲"), label(0, 2, "标题丙"), label(1, 1, "旧"),
                             number(1, 0, 1), label(1, 1, "新")};
    for (const Rec& r : formulaText(2, 0, "公式文字")) recs.push_back(r);
    for (const Rec& r : {label(3, 0, "长文字" + std::string(300, 'x')), number(3, 1, 2.5),
                         label(3, 2, "尾"), number(5, 3, 7)})
        recs.push_back(r);
    return recs;
}

const Grid kWant = {{"标题甲", "", "标题丙", ""},
                    {"1", "新", "", ""},
                    {"公式文字", "", "", ""},
                    {"长文字" + std::string(300, 'x'), "2.5", "尾", ""},
                    {"", "", "", ""},
                    {"", "", "", "7"}};

Grid window(Worksheet& sheet, int32_t first, int32_t last, int32_t columns) {
    Grid got;
    Status st = sheet.readRows(first, last, columns, [&](int32_t row, const auto& cells) {
        EXPECT_EQ(row, first + static_cast<int32_t>(got.size()));
        got.push_back(cells);
        return Status::Ok();
    });
    EXPECT_TRUE(st.ok()) << (st.ok() ? "" : st.error().description);
    return got;
}

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

TEST(RowOrder, EveryWindowReadsTheSameInOrderOrNot) {
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
        EXPECT_EQ((*sheet)->size().rows, 6);
        EXPECT_EQ((*sheet)->size().columns, 4);
        Grid want = kWant;
        if (!ordered) want[1][1] = "旧";
        EXPECT_EQ(window(**sheet, 1, 6, 4), want);
        if (!ordered) continue;
        // Windows one after another (an import read in parts), and back.
        for (auto [first, last, columns] : {std::tuple{1, 1, 4},
                                            {2, 2, 4},
                                            {3, 3, 4},
                                            {4, 4, 3},
                                            {5, 9, 5},
                                            {7, 8, 1},
                                            {3, 2, 4},
                                            {2, 4, 2},
                                            {1, 6, 4},
                                            {3, 6, 4},
                                            {4, 6, 4}}) {
            EXPECT_EQ(window(**sheet, first, last, columns), slice(first, last, columns))
                << first << ".." << last << " x " << columns;
        }
    }
}

// A sink's error ends the read and is what the read returns, in both ways.
TEST(RowOrder, ASinkErrorStopsTheRead) {
    std::vector<Rec> shuffled = inOrder();
    std::swap(shuffled[0], shuffled[10]);
    for (const auto& records : {inOrder(), shuffled}) {
        auto book = parseWorkbookStream(testutil::bookStream({}, {records}), "rows.xls");
        ASSERT_TRUE(book.ok());
        auto sheet = (*book)->worksheet(1);
        ASSERT_TRUE(sheet.ok());
        int calls = 0;
        Status st = (*sheet)->readRows(1, 6, 4, [&](int32_t row, const auto&) -> Status {
            ++calls;
            if (row == 2) return Error::cancelled("");
            return Status::Ok();
        });
        ASSERT_FALSE(st.ok());
        EXPECT_EQ(st.error().number, err::kCancelled);
        EXPECT_EQ(calls, 2);
    }
}

}  // namespace
}  // namespace tabrovin::xls
