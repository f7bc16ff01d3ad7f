// Cell texts survive the trip through the writer as independent readers see them.

#include <gtest/gtest.h>

#include "tests/support/test_support.h"
#include "tests/xlswriter/readers.h"

namespace tabrovin::testing {
namespace {

std::string repeat(const std::string& unit, size_t times) {
    std::string s;
    for (size_t i = 0; i < times; ++i) s += unit;
    return s;
}

// One page mixing the awkward texts; checked by all three readers.
class TextsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        headings_ = {"编号", "姓名", "say \"hi\", ok", "Ünïcödé"};
        rows_ = {
            {"1", "张三", "他说:\"你好\"", "café"},
            {"2", "", "line1\nline2", "a,b;c'd"},
            // Each longer than one record (8,224 bytes). FreeXL fails on books
            // holding much longer texts (xlwt's as well), so these stay modest;
            // TextLimits checks texts up to Excel's limit with xlrd.
            {"3", repeat("汉字", 2100), repeat("x", 9000), repeat("é", 9000)},
            {"4", "emoji 😀 ok", " leading and trailing ", "\t"},
        };
        out_ = dir_ / "页面.xls";
        Status s = blankTemplate(dir_.path()).write(out_, headings_, rows_);
        ASSERT_TRUE(s.ok()) << s.error().description;
    }
    std::string expected(size_t row, size_t col) const {
        return row == 0 ? headings_[col] : rows_[row - 1][col];
    }
    TempDir dir_;
    std::vector<std::string> headings_;
    std::vector<std::vector<std::string>> rows_;
    std::filesystem::path out_;
};

TEST_F(TextsTest, XlrdReadsEveryCellBack) {
    std::string why;
    auto book = readWithXlrd(out_, &why);
    ASSERT_TRUE(book) << why;
    ASSERT_EQ(book->size(), 1u);
    const ReadSheet& s = (*book)[0];
    EXPECT_EQ(s.name, "Sheet1");
    EXPECT_EQ(s.rows, 5u);
    EXPECT_EQ(s.columns, 4u);
    for (size_t r = 0; r < 5; ++r)
        for (size_t c = 0; c < 4; ++c) EXPECT_EQ(s.at(r, c), expected(r, c)) << r << "," << c;
    EXPECT_EQ(s.cells.count({2, 1}), 0u) << "an empty text writes no cell";
}

TEST_F(TextsTest, FreeXlReadsEveryCellBack) {
    std::string why;
    auto book = readWithFreeXl(out_, &why);
    ASSERT_TRUE(book) << why;
    ASSERT_EQ(book->size(), 1u);
    const ReadSheet& s = (*book)[0];
    EXPECT_EQ(s.name, "Sheet1");
    EXPECT_EQ(s.rows, 5u);
    for (size_t r = 0; r < 5; ++r)
        for (size_t c = 0; c < 4; ++c) EXPECT_EQ(s.at(r, c), expected(r, c)) << r << "," << c;
}

TEST_F(TextsTest, LibreOfficeReadsEveryCellBack) {
    auto rows = readWithLibreOffice(out_, dir_.path());
    ASSERT_TRUE(rows);
    ASSERT_EQ(rows->size(), 5u);
    for (size_t r = 0; r < 5; ++r) {
        ASSERT_EQ((*rows)[r].size(), 4u) << r;
        for (size_t c = 0; c < 4; ++c) EXPECT_EQ((*rows)[r][c], expected(r, c)) << r << "," << c;
    }
}

TEST(TextLimits, TextBeyondExcelsLimitIsCutAtACharacter) {
    TempDir dir;
    auto t = blankTemplate(dir.path());
    // 32,766 units then an emoji (two units): the emoji must go whole.
    std::string cut = repeat("a", 32766) + "😀" + "tail";
    std::string wide = repeat("中", 40000);
    std::string latin = repeat("ä", 40000);
    ASSERT_TRUE(t.write(dir / "long.xls", {"h"}, {{cut}, {wide}, {latin}}).ok());
    auto book = readWithXlrd(dir / "long.xls");
    ASSERT_TRUE(book);
    EXPECT_EQ((*book)[0].at(1, 0), repeat("a", 32766));
    EXPECT_EQ((*book)[0].at(2, 0), repeat("中", 32767));
    EXPECT_EQ((*book)[0].at(3, 0), repeat("ä", 32767));
}

TEST(TextLimits, InvalidUtf8BecomesReplacementCharacters) {
    TempDir dir;
    auto t = blankTemplate(dir.path());
    ASSERT_TRUE(t.write(dir / "bad.xls", {"h"},
                        {{std::string("a\xff"
                                      "b\xe4\xb8")}})
                    .ok());
    auto book = readWithXlrd(dir / "bad.xls");
    ASSERT_TRUE(book);
    EXPECT_EQ((*book)[0].at(1, 0),
              "a\xEF\xBF\xBD"
              "b\xEF\xBF\xBD");
}

TEST(TextLimits, FlatRowsGiveTheSameCells) {
    TempDir dir;
    auto t = blankTemplate(dir.path());
    std::vector<std::string> cells = {"a", "b", "c", "甲", "乙", "丙"};
    ASSERT_TRUE(t.write(dir / "flat.xls", {"x", "y", "z"}, cells, 3).ok());
    auto book = readWithXlrd(dir / "flat.xls");
    ASSERT_TRUE(book);
    const ReadSheet& s = (*book)[0];
    EXPECT_EQ(s.rows, 3u);
    EXPECT_EQ(s.at(0, 2), "z");
    EXPECT_EQ(s.at(1, 1), "b");
    EXPECT_EQ(s.at(2, 0), "甲");
    EXPECT_EQ(s.at(2, 2), "丙");
    EXPECT_FALSE(t.write(dir / "bad.xls", {"x"}, cells, 4).ok()) << "6 cells are not rows of 4";
}

}  // namespace
}  // namespace tabrovin::testing
