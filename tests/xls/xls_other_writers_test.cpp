// Records as other writers and older Excel versions leave them: old record
// numbers, odd version fields, damaged number formats, code pages beyond
// GBK, and Excel 2.x-4.0 files, each read as far as it can be or refused
// with a message that names the cause.

#include <gtest/gtest.h>

#include "platform/xls/biff_workbook.h"
#include "platform/xls/compound_file.h"
#include "tests/xls/xls_test_util.h"

namespace tabrovin::xls {
namespace {
namespace fs = std::filesystem;
using testutil::Bytes, testutil::Grid, testutil::Rec;
using testutil::failsWith, testutil::formulaCell, testutil::number, testutil::sheetOf;

const std::string kGbkName = "\xD0\xD5\xC3\xFB";  // 姓名

TEST(OtherWriters, FormulasUnderTheirOldRecordNumbersKeepTheirRows) {
    Bytes result;
    testutil::putDouble(result, 42.5);
    std::vector<Rec> sheet = {
        {rec::kFormula4, formulaCell(1, 0, result)},
        {rec::kFormula4, formulaCell(2, 0, testutil::kTextResult)},
        {rec::kString, testutil::unicodeString("文字结果")},
        {rec::kFormula3, formulaCell(3, 0, {1, 0, 1, 0, 0, 0, 0xFF, 0xFF})},
    };
    EXPECT_EQ(sheetOf(testutil::bookStream({}, {sheet})),
              (Grid{{""}, {"42.5"}, {"文字结果"}, {"TRUE"}}));
}

// FORMAT records: 164 is cut short, 165 a date. XF 0 uses the broken one,
// XF 1 the date, XF 2 the built-in date 14.
std::vector<Rec> formatGlobals(bool biff8) {
    Bytes broken = {0xA4, 0, 40, 0};  // claims 40 characters and has none
    if (biff8) broken.push_back(0);
    Bytes date = {0xA5, 0};
    if (biff8) {
        Bytes s = testutil::unicodeString("yyyy/m/d");
        date.insert(date.end(), s.begin(), s.end());
    } else {
        date.push_back(8);
        testutil::append(date, "yyyy/m/d");
    }
    std::vector<Rec> g = {{rec::kFormat, broken}, {rec::kFormat, date}};
    for (uint16_t id : {0xA4, 0xA5, 14}) {
        Bytes xf(biff8 ? 20 : 16, 0);
        xf[2] = static_cast<uint8_t>(id);
        g.push_back({rec::kXf, xf});
    }
    return g;
}

TEST(OtherWriters, ADamagedNumberFormatCostsOnlyThatFormat) {
    for (bool biff8 : {true, false}) {
        SCOPED_TRACE(biff8 ? "BIFF8" : "BIFF5");
        std::vector<Rec> sheet = {number(0, 0, 45356, 0), number(0, 1, 45356, 1),
                                  number(0, 2, 45357, 2)};
        EXPECT_EQ(
            sheetOf(testutil::bookStream(formatGlobals(biff8), {sheet}, biff8 ? 0x0600 : 0x0500)),
            (Grid{{"45356", "2024/3/5", "2024/3/6"}}));
    }
}

// Version fields other writers put in BOF records: judged by range, and by
// the record's length where the field is left empty.
TEST(OtherWriters, VersionFieldsAreJudgedByRange) {
    std::vector<Rec> sheet = {number(0, 0, 7, 0)};
    for (uint16_t version : {0x0500, 0x0580, 0x05FF, 0x0600, 0x0601}) {
        EXPECT_EQ(sheetOf(testutil::bookStream({}, {sheet}, version)), (Grid{{"7"}})) << version;
    }
    // An empty version field: a 16-byte BOF is BIFF8, whose sheet directory
    // entry has a byte more than BIFF5's, so a wrong guess reads a wrong name
    // or offset. The stream is built as BIFF8 and then the field is cleared.
    Bytes zero = testutil::bookStream({}, {sheet}, 0x0600);
    zero[4] = zero[5] = 0;
    EXPECT_EQ(sheetOf(zero), (Grid{{"7"}}));
    for (uint16_t version : {0x0200, 0x0300, 0x0400})
        EXPECT_TRUE(failsWith(testutil::sheetError(testutil::bookStream({}, {sheet}, version)),
                              err::kUnsupportedWorkbook));
}

// Excel 2.x-4.0 files hold a bare record stream, not a container.
Bytes bareFile(uint16_t bof, uint16_t kind, const std::vector<Rec>& records) {
    Bytes file;
    testutil::putRecord(file, bof,
                        {0, 0, static_cast<uint8_t>(kind), static_cast<uint8_t>(kind >> 8), 0, 0});
    for (const Rec& r : records) testutil::putRecord(file, r.type, r.data);
    testutil::putRecord(file, rec::kEof, {});
    return file;
}

// Excel 3.0 and 4.0 worksheets are read: their formats are numbered by
// order (4.0's with two unused bytes first) and an XF names its format in
// its second byte; text is in the CODEPAGE's code page. Anything older is refused.
TEST(OtherWriters, ExcelThreeAndFourWorksheetsAreReadAndOlderFilesSentToBeSavedAgain) {
    testing::TempDir dir;
    for (bool four : {true, false}) {
        SCOPED_TRACE(four ? "Excel 4.0" : "Excel 3.0");
        auto format = [&](const std::string& code) {
            Bytes d;
            if (four) d = {0, 0};
            d.push_back(static_cast<uint8_t>(code.size()));
            testutil::append(d, code);
            return Rec{four ? rec::kFormat : rec::kFormat3, d};
        };
        auto xf = [&](uint8_t format) {
            return Rec{four ? rec::kXf4 : rec::kXf3, {0, format, 0, 0}};
        };
        Bytes result;
        testutil::putDouble(result, 12.5);
        std::vector<Rec> records = {
            testutil::codePage(encoding::kGbk),
            format("General"),
            format("yyyy/m/d"),
            xf(0),
            xf(1),
            {rec::kLabel, testutil::byteString(testutil::cellHead(0, 0, 0), kGbkName)},
            number(1, 0, 45356, 1),
            number(1, 1, 45356, 0),
            {four ? rec::kFormula4 : rec::kFormula3, formulaCell(2, 1, result)}};
        Bytes file = bareFile(four ? rec::kBof4 : rec::kBof3, 0x0010, records);
        testing::writeFile(dir / "旧表.xls", std::string(file.begin(), file.end()));
        EXPECT_EQ(testutil::readBook(dir / "旧表.xls"),
                  (std::vector<Grid>{{{"姓名", ""}, {"2024/3/5", "45356"}, {"", "12.5"}}}));
    }
    // Excel 2.x worksheets and 3.0/4.0 workbooks are named and sent to be saved again.
    for (auto [bof, kind] :
         {std::pair{rec::kBof2, 0x0010}, {rec::kBof3, 0x0100}, {rec::kBof4, 0x0100}}) {
        Bytes file = bareFile(bof, static_cast<uint16_t>(kind), {number(0, 0, 1, 0)});
        std::string bytes(file.begin(), file.end());
        testing::writeFile(dir / "旧表.xls", bytes);
        auto book = openXlsWorkbook(dir / "旧表.xls");
        for (const char* words : {"旧表.xls", "Excel 2.x–4.0", "另存为"})
            EXPECT_TRUE(failsWith(book, err::kUnsupportedWorkbook, words)) << bof;
    }
    EXPECT_FALSE(looksLikeBareBiff("姓名,电话\n张三,1\n"));
    EXPECT_FALSE(looksLikeBareBiff(std::string("\x09\x00\x04", 3)));
}

// BIFF5 (Excel 5.0/95) text is bytes in the workbook's code page: GBK when no
// CODEPAGE names one, pages beyond GBK by Windows number or by BIFF's own
// numbers for Mac Roman and Windows Latin-1.
TEST(OtherWriters, Biff5TextIsReadInItsCodePage) {
    using testutil::byteString, testutil::cellHead, testutil::codePage;
    auto gbk = [](const char* utf8) { return *encoding::fromUtf8(utf8, encoding::kGbk); };
    Bytes rk = cellHead(2, 0);
    put32(rk, (13800 << 2) | 2);
    std::vector<Rec> cells = {{rec::kLabel, byteString(cellHead(0, 0), kGbkName)},
                              {rec::kLabel, byteString(cellHead(1, 1), gbk("他说\"好\""))},
                              number(1, 0, 1234.5),
                              {rec::kRk, rk},
                              {rec::kFormula, formulaCell(2, 1, testutil::kTextResult)},
                              {rec::kString, byteString({}, "formula text")}};
    Rec second = {rec::kLabel, byteString(cellHead(0, 0), gbk("第二"))};
    testing::TempDir dir;
    // Every kind of cell, over two sheets, from the "Book" stream of Excel 5.
    for (bool declared : {true, false}) {
        std::vector<Rec> globals;
        if (declared) globals.push_back(codePage(encoding::kGbk));
        (void)writeCompoundFile(
            dir / "95.xls", {{"Book", testutil::bookStream(globals, {cells, {second}}, 0x0500)}});
        EXPECT_EQ(
            testutil::readBook(dir / "95.xls"),
            (std::vector<Grid>{{{"姓名", ""}, {"1234.5", "他说\"好\""}, {"13800", "formula text"}},
                               {{"第二"}}}))
            << declared;
    }
    struct Page {
        uint16_t number;
        std::string bytes, text;
    };
    const Page pages[] = {{1253, "\xC1\xE8\xDE\xED\xE1", "Αθήνα"},
                          {10029, "\xFC\x97\x64\x90", "Łódź"},
                          {0x8000, "Caf\x8E", "Café"},
                          {0x8001, "Caf\xE9", "Café"},
                          // A byte the code page leaves undefined costs that byte only.
                          {1253, "\xC1\xAA\xE1", "Α\uFFFDα"},
                          {1252, "Caf\xE9\x81", "Café\uFFFD"}};
    for (const Page& p : pages) {
        Rec label = {rec::kLabel, byteString(cellHead(0, 0), p.bytes)};
        EXPECT_EQ(sheetOf(testutil::bookStream({codePage(p.number)}, {{label}}, 0x0500)),
                  (Grid{{p.text}}))
            << p.number;
    }
    // A code page this system cannot convert is refused by its number, even
    // when the text happens to be valid GBK.
    for (uint16_t unknown : {10006, 12345})
        EXPECT_TRUE(
            failsWith(testutil::sheetError(testutil::bookStream({codePage(unknown)}, {{}}, 0x0500)),
                      err::kUnsupportedWorkbook, "代码页 " + std::to_string(unknown)));
}

}  // namespace
}  // namespace tabrovin::xls
