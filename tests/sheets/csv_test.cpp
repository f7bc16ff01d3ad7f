// CSV files as other programs write them: RFC 4180 quoting, UTF-8 with or
// without a BOM, and GBK.

#include <gtest/gtest.h>

#include "tests/sheets/sheet_test_util.h"
#include "tests/support/test_support.h"

namespace tabrovin::testing {
namespace {

TEST(CsvReader, QuotesLineFeedsAndTextAsItStands) {
    TempDir dir;
    writeFile(dir / "数据.csv",
              "姓名,编号,金额\r\n\"张\"\"三\",007,3.0\r\n\"多行\n文字\",,\"a,b\"\n\n末行,1e5");
    EXPECT_EQ(readSheet(dir / "数据.csv"), (Grid{{"姓名", "编号", "金额"},
                                                 {"张\"三", "007", "3.0"},
                                                 {"多行\n文字", "", "a,b"},
                                                 {"", "", ""},
                                                 {"末行", "1e5", ""}}));
}

TEST(CsvReader, Utf8BomAndGbkAreDecoded) {
    TempDir dir;
    writeFile(dir / "bom.csv", "\xEF\xBB\xBF列一,列二\n值,\"引号\"\n");
    EXPECT_EQ(readSheet(dir / "bom.csv"), (Grid{{"列一", "列二"}, {"值", "引号"}}));

    // Long enough that the GBK text spans the opening sniff and read blocks.
    std::string utf8 = "名称,说明\n";
    for (int i = 0; i < 40000; ++i) utf8 += "产品" + std::to_string(i) + ",\"中文，逗号\"\n";
    writeFile(dir / "utf8.csv", utf8);
    const std::string iconv = "iconv -f UTF-8 -t GBK " + shellQuote((dir / "utf8.csv").string());
    ASSERT_EQ(run(iconv + " > " + shellQuote((dir / "gbk.csv").string())).exitCode, 0);
    // A NUL past the opening sniff is dropped without shifting the fields.
    writeFile(dir / "gbk.csv",
              readFile(dir / "gbk.csv") + std::string("\xC0\xEE\xCB\xC4\0X,\xC9\xCF,4\n", 12));
    Grid g = readSheet(dir / "gbk.csv");
    ASSERT_EQ(g.size(), 40002u);
    EXPECT_EQ(g[0][1], "说明");
    EXPECT_EQ(g[40000], (Row{"产品39999", "中文，逗号", ""}));
    EXPECT_EQ(g[40001], (Row{"李四X", "上", "4"}));

    // UTF-8 over one read block, the block edge inside a run of Chinese text.
    std::string lines;
    for (int i = 0; i < 80000; ++i) lines += "张张,张王\n";  // 1 MiB falls 4 bytes into a line
    writeFile(dir / "big.csv", lines);
    g = readSheet(dir / "big.csv");
    ASSERT_EQ(g.size(), 80000u);
    EXPECT_EQ(g[74898], (Row{"张张", "张王"}));
}

TEST(CsvReader, SizeIgnoresTrailingEmptiesAndReadsPadToWhatIsAsked) {
    TempDir dir;
    writeFile(dir / "a.csv", "1,2,3,,\n4\n5,6\n7\n,,\n\n");
    auto book = openWorkbookFile(dir / "a.csv");
    ASSERT_TRUE(book.ok());
    EXPECT_EQ((*book)->sheetCount(), 1);
    EXPECT_EQ((*book)->worksheet(2).error().number, err::kSubscript);
    auto sheet = (*book)->worksheet(1);
    ASSERT_TRUE(sheet.ok());
    EXPECT_EQ((*sheet)->size().rows, 4);
    EXPECT_EQ((*sheet)->size().columns, 3);
    Grid g;
    ASSERT_TRUE(readGrid(**sheet, 2, 6, 2, g).ok());
    EXPECT_EQ(g, (Grid{{"4", ""}, {"5", "6"}, {"7", ""}, {"", ""}, {"", ""}}));
    // A sink's error ends the read with that error.
    Status s = (*sheet)->readRows(1, 4, 3, [](int32_t r, const Row&) {
        return r == 2 ? Status(Error{err::kInvalidArgument, "停"}) : Status::Ok();
    });
    EXPECT_EQ(s.ok() ? 0 : s.error().number, err::kInvalidArgument);
}

}  // namespace
}  // namespace tabrovin::testing
