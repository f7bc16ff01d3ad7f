// CSV files as other programs write them: RFC 4180 quoting, UTF-8 with or
// without a BOM, UTF-16 with a BOM, and GBK; and the ones refused, with the
// line and column to blame.

#include <gtest/gtest.h>

#include "platform/encoding.h"
#include "tests/sheets/sheet_test_util.h"

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
    // NUL bytes are dropped wherever they stand.
    writeFile(dir / "nul.csv", std::string("\0甲,\"乙\0\"\n1,\xE4\0\xB8\xAD\n", 19));
    EXPECT_EQ(readSheet(dir / "nul.csv"), (Grid{{"甲", "乙"}, {"1", "中"}}));
}

TEST(CsvReader, GbkAndLongUtf8AreDecodedAcrossReadBlocks) {
    TempDir dir;
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
    writeFile(dir / "big.csv", repeat("张张,张王\n", 80000));  // 1 MiB falls 4 bytes into a line
    g = readSheet(dir / "big.csv");
    ASSERT_EQ(g.size(), 80000u);
    EXPECT_EQ(g[74898], (Row{"张张", "张王"}));
}

// Chinese Excel and WPS write GB18030, whose four-byte characters GBK lacks.
TEST(CsvReader, Gb18030FourByteCharactersAreDecoded) {
    TempDir dir;
    writeFile(dir / "utf8.csv", "姓名,备注\n𠀀张,\"㐀，x\"\n");
    const std::string iconv =
        "iconv -f UTF-8 -t GB18030 " + shellQuote((dir / "utf8.csv").string());
    ASSERT_EQ(run(iconv + " > " + shellQuote((dir / "gb.csv").string())).exitCode, 0);
    EXPECT_EQ(readSheet(dir / "gb.csv"), (Grid{{"姓名", "备注"}, {"𠀀张", "㐀，x"}}));
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
    EXPECT_EQ(std::pair((*sheet)->size().rows, (*sheet)->size().columns), std::pair(4, 3));
    Grid g;
    ASSERT_TRUE(readGrid(**sheet, 2, 6, 2, g).ok());
    EXPECT_EQ(g, (Grid{{"4", ""}, {"5", "6"}, {"7", ""}, {"", ""}, {"", ""}}));
    // A sink's error ends the read with that error.
    Status s = (*sheet)->readRows(1, 4, 3, [](int32_t r, const Row&) {
        return r == 2 ? Status(Error::cancelled("")) : Status::Ok();
    });
    EXPECT_EQ(s.ok() ? 0 : s.error().number, err::kCancelled);
}

// `text` as UTF-16 bytes with a byte-order mark.
std::string utf16(std::u16string_view text, bool bigEndian) {
    std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char16_t u : text) {
        char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
        out += bigEndian ? hi : lo;
        out += bigEndian ? lo : hi;
    }
    return out;
}

TEST(CsvReader, Utf16WithBomIsDecodedAcrossReadBlocks) {
    TempDir dir;
    // 262,143 lines of "a" put the emoji's surrogate pair across the 1 MiB read block.
    std::u16string text;
    for (int i = 0; i < 262143; ++i) text += u"a\n";
    text += u"姓名,\"金,额\"\r\n\U0001F600,\xD800x";
    for (bool bigEndian : {false, true}) {
        writeFile(dir / "u16.csv", utf16(text, bigEndian) + "\x41");  // a cut last unit
        Grid g = readSheet(dir / "u16.csv");
        ASSERT_EQ(g.size(), 262145u) << bigEndian;
        EXPECT_EQ(g[262143], (Row{"姓名", "金,额"})) << bigEndian;
        EXPECT_EQ(g[262144], (Row{"😀", "\uFFFDx\uFFFD"})) << bigEndian;
    }
}

TEST(CsvReader, OnlyStrictUtf8IsTakenAsUtf8) {
    using encoding::isValidUtf8;
    for (std::string_view bad : {"\xC0\x80", "\xE0\x80\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80",
                                 "\xF8\x88\x80\x80\x80", "\xE4\xB8", "\x80"})
        EXPECT_FALSE(isValidUtf8(bad)) << ::testing::PrintToString(bad);
    for (std::string_view good : {"", "\xC2\x80", "\xEF\xBF\xBF", "\xF4\x8F\xBF\xBF", "中"})
        EXPECT_TRUE(isValidUtf8(good)) << ::testing::PrintToString(good);
    EXPECT_EQ(encoding::validUtf8Prefix("ab\xC0\x80"), 2u);

    // An overlong NUL is not UTF-8, so the file is read as GBK, never stored as it is.
    TempDir dir;
    writeFile(dir / "overlong.csv", "a,b\n1,\xC0\x80\n");
    const std::string gbk = encoding::toUtf8("\xC0\x80", encoding::kGbk).value_or("?");
    EXPECT_TRUE(isValidUtf8(gbk));
    EXPECT_EQ(readSheet(dir / "overlong.csv"), (Grid{{"a", "b"}, {"1", gbk}}));
}

// Each refusal names the line (and column) to blame, and why.
TEST(CsvReader, FilesBeyondASheetOrUndecodableAreRefused) {
    std::string le;
    for (char c : std::string("name,amount\r\nbook,12\r\n")) le += {c, '\0'};
    const std::string li = repeat("\xC0\xEE,1\n", 2);  // GBK, so not UTF-8 from line 1
    const struct {
        std::string bytes;
        int number;
        const char *place, *why;
    } cases[] = {
        {"a,b\n" + std::string(200000, 'x') + ",y\n", err::kDamagedWorkbook, "第 2 行第 1 列",
         "单元格的文字超过 32767 个字符"},
        {std::string(20000, ',') + "\n1\n", err::kDamagedWorkbook, "第 1 行", "一行超过 16384 列"},
        // Every field and the field count within their limits, the line itself too
        // long: refused as it is split, never held whole.
        {"a,b\n" + repeat(std::string(100000, 'x') + ",", 200) + "\n", err::kDamagedWorkbook,
         "第 2 行", "一行的文字超过 16 MB"},
        {le, err::kNotWorkbook, "", "没有字节顺序标记（BOM）的 UTF-16"},
        {std::string(1, '\0') + le.substr(0, le.size() - 1), err::kNotWorkbook, "",
         "没有字节顺序标记（BOM）的 UTF-16"},
        {"a,b\n\xA4\xA4,\xFF\x80\n", err::kCellConversion, "第 2 行第 2 列的单元格无法读取",
         "文字既不是 UTF-8 编码也不是 GB18030（GBK）编码"},
        // UTF-8 until line 202 and valid GB18030 throughout: the Chinese UTF-8
        // before the break tells what the file is.
        {"姓名,金额\n" + repeat("张三,1\n", 200) + "李四,\xC0\x80\n王五,3\n", err::kCellConversion,
         "第 202 行第 2 列", "文字不是有效的 UTF-8 编码"},
        {li + "\xC0\xEE,x\xFF\n\xC0\xEE,4\n", err::kCellConversion, "第 3 行第 2 列", "GBK"},
        // Named in a record converted a part at a time (中 in GBK, whose UTF-8 is not GBK).
        {"a\n" + repeat(repeat("\xD6\xD0", 50000) + ",", 11) + "x\xFF\n", err::kCellConversion,
         "第 2 行第 12 列", "GBK"},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.place + std::string(" ") + c.why);
        writeFile(dir / "bad.csv", c.bytes);
        Error e = readFailure(dir / "bad.csv");
        EXPECT_TRUE(failsWith(e, c.number, c.place));
        EXPECT_TRUE(failsWith(e, c.number, c.why));
    }
}

// Spreadsheet programs take a first line "sep=X" as the separator's name.
TEST(CsvReader, AFirstLineSepNamesTheSeparator) {
    TempDir dir;
    writeFile(dir / "semi.csv", "sep=;\r\n名;号,码\r\n甲;\"1;2\"\r\n");
    EXPECT_EQ(readSheet(dir / "semi.csv"), (Grid{{"名", "号,码"}, {"甲", "1;2"}}));
    writeFile(dir / "bom.csv", "\xEF\xBB\xBFsep=|\n名|号\n");
    EXPECT_EQ(readSheet(dir / "bom.csv"), (Grid{{"名", "号"}}));
    // Only a line of exactly one character names one.
    writeFile(dir / "plain.csv", "sep=;;\n名,号\n");
    EXPECT_EQ(readSheet(dir / "plain.csv"), (Grid{{"sep=;;", ""}, {"名", "号"}}));
}

}  // namespace
}  // namespace tabrovin::testing
