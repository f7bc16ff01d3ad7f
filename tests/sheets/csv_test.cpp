#include <gtest/gtest.h>

#include "platform/encoding.h"
#include "tests/sheets/sheet_test_util.h"
#include "tests/support/test_support.h"

namespace tabrovin::testing {
namespace {

TEST(CsvReader, QuotesLineFeedsAndTextAsItStands) {
    TempDir dir;
    auto path = dir / "数据.csv";
    writeFile(path,
              "姓名,编号,金额\r\n"
              "\"张\"\"三\",007,3.0\r\n"
              "\"多行\n文字\",,\"a,b\"\n"
              "\n"
              "末行,1e5");
    Grid g = readSheet(path);
    ASSERT_EQ(g.size(), 5u);
    EXPECT_EQ(g[0], (std::vector<std::string>{"姓名", "编号", "金额"}));
    EXPECT_EQ(g[1], (std::vector<std::string>{"张\"三", "007", "3.0"}));
    EXPECT_EQ(g[2], (std::vector<std::string>{"多行\n文字", "", "a,b"}));
    EXPECT_EQ(g[3], (std::vector<std::string>{"", "", ""}));
    EXPECT_EQ(g[4], (std::vector<std::string>{"末行", "1e5", ""}));
}

TEST(CsvReader, Utf8BomAndGbkAreDecoded) {
    TempDir dir;
    writeFile(dir / "bom.csv", "\xEF\xBB\xBF列一,列二\n值,\"引号\"\n");
    Grid bom = readSheet(dir / "bom.csv");
    ASSERT_EQ(bom.size(), 2u);
    EXPECT_EQ(bom[0][0], "列一");
    EXPECT_EQ(bom[1][1], "引号");

    // Long enough that the GBK text spans the opening sniff and read blocks.
    std::string utf8 = "名称,说明\n";
    for (int i = 0; i < 40000; ++i) utf8 += "产品" + std::to_string(i) + ",\"中文，逗号\"\n";
    auto gbk = encoding::fromUtf8(utf8, encoding::kGbk);
    ASSERT_TRUE(gbk);
    writeFile(dir / "gbk.csv", *gbk);
    Grid g = readSheet(dir / "gbk.csv");
    ASSERT_EQ(g.size(), 40001u);
    EXPECT_EQ(g[0][1], "说明");
    EXPECT_EQ(g[40000][0], "产品39999");
    EXPECT_EQ(g[40000][1], "中文，逗号");
}

TEST(CsvReader, SizeIgnoresTrailingEmptyFieldsAndRows) {
    TempDir dir;
    writeFile(dir / "a.csv", "a,,\n,b,,\n,,\n\n");
    auto book = openWorkbook(dir / "a.csv");
    ASSERT_TRUE(book.ok());
    EXPECT_EQ((*book)->sheetCount(), 1);
    EXPECT_EQ((*book)->worksheet(2).error().number, err::kSubscript);
    auto sheet = (*book)->worksheet(1);
    ASSERT_TRUE(sheet.ok());
    EXPECT_EQ((*sheet)->size().rows, 2);
    EXPECT_EQ((*sheet)->size().columns, 2);
}

TEST(CsvReader, ReadRowsPadsAndStopsWhereAsked) {
    TempDir dir;
    writeFile(dir / "a.csv", "1,2,3\n4\n5,6\n7\n");
    auto book = openWorkbook(dir / "a.csv");
    ASSERT_TRUE(book.ok());
    auto sheet = (*book)->worksheet(1);
    ASSERT_TRUE(sheet.ok());
    std::vector<int32_t> rows;
    Grid cells;
    Status s = (*sheet)->readRows(2, 6, 2, [&](int32_t r, const std::vector<std::string>& c) {
        rows.push_back(r);
        cells.push_back(c);
        return Status::Ok();
    });
    ASSERT_TRUE(s.ok());
    EXPECT_EQ(rows, (std::vector<int32_t>{2, 3, 4, 5, 6}));
    EXPECT_EQ(cells[0], (std::vector<std::string>{"4", ""}));
    EXPECT_EQ(cells[1], (std::vector<std::string>{"5", "6"}));
    EXPECT_EQ(cells[3], (std::vector<std::string>{"", ""}));
    // A sink's error ends the read with that error.
    s = (*sheet)->readRows(1, 4, 3, [](int32_t r, const std::vector<std::string>&) {
        return r == 2 ? Status(Error{err::kInvalidArgument, "停"}) : Status::Ok();
    });
    ASSERT_FALSE(s.ok());
    EXPECT_EQ(s.error().number, err::kInvalidArgument);
}

}  // namespace
}  // namespace tabrovin::testing
