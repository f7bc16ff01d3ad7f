// BIFF5 (Excel 5.0/95) workbooks: byte strings in the workbook's code page.
// LibreOffice 7.4 no longer writes this format, so the streams are built
// here and checked against xlrd as well as against known values.

#include <gtest/gtest.h>

#include "platform/xls/compound_file.h"
#include "tests/xls/biff_builder.h"
#include "tests/xls/xls_test_util.h"

namespace tabrovin::xls {
namespace {
using testutil::Bytes;

Bytes byteString(const std::string& utf8, int codePage, bool longLength) {
    std::string bytes = *encoding::fromUtf8(utf8, codePage);
    Bytes d;
    if (longLength)
        put16(d, static_cast<uint16_t>(bytes.size()));
    else
        d.push_back(static_cast<uint8_t>(bytes.size()));
    testutil::appendText(d, bytes);
    return d;
}

Bytes xf(uint16_t format) {
    Bytes d;
    put16(d, 0);
    put16(d, format);
    d.resize(16, 0);
    return d;
}

// Sheet 1 holds text, numbers, a date, a formula with a text result and a
// boolean; sheet 2 is a chart (not counted); sheet 3 holds one text.
testutil::StreamBuilder biff5Book(int codePage, bool withCodePageRecord) {
    testutil::StreamBuilder b;
    b.version = 0x0500;
    if (withCodePageRecord) {
        Bytes cp;
        put16(cp, static_cast<uint16_t>(codePage));
        b.globals.push_back({rec::kCodePage, cp});
    }
    Bytes fmt;
    put16(fmt, 164);
    testutil::append(fmt, byteString("yyyy/m/d", codePage, false));
    b.globals.push_back({rec::kFormat, fmt});
    for (int i = 0; i < 16; ++i) b.globals.push_back({rec::kXf, xf(0)});
    b.globals.push_back({rec::kXf, xf(164)});  // XF 16: a date
    std::vector<testutil::Rec> s1;
    auto label = [&](uint16_t r, uint16_t c, const std::string& text) {
        Bytes d = testutil::cellHead(r, c);
        testutil::append(d, byteString(text, codePage, true));
        s1.push_back({rec::kLabel, d});
    };
    label(0, 0, "姓名");
    label(0, 1, "备注");
    label(1, 0, "张三");
    label(1, 1, "他说\"好\"");
    Bytes n = testutil::cellHead(2, 0, 15);
    testutil::putDouble(n, 1234.5);
    s1.push_back({rec::kNumber, n});
    Bytes d = testutil::cellHead(2, 1, 16);
    testutil::putDouble(d, 45356);  // 2024-03-05
    s1.push_back({rec::kNumber, d});
    Bytes rk = testutil::cellHead(3, 0, 15);
    put32(rk, (13800 << 2) | 2);
    s1.push_back({rec::kRk, rk});
    Bytes f = testutil::cellHead(3, 1, 15);
    f.insert(f.end(), {0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0});
    s1.push_back({rec::kFormula, f});
    // xlrd compares a BIFF5 STRING's byte count with decoded characters,
    // so the formula text stays ASCII to keep it a fair witness.
    s1.push_back({rec::kString, byteString("formula text", codePage, true)});
    Bytes be = testutil::cellHead(4, 2, 15);
    be.insert(be.end(), {1, 0});
    s1.push_back({rec::kBoolErr, be});
    std::vector<testutil::Rec> s3;
    Bytes l3 = testutil::cellHead(0, 0);
    testutil::append(l3, byteString("第三", codePage, true));
    s3.push_back({rec::kLabel, l3});
    b.sheets = {s1, {}, s3};
    b.sheetTypes = {0, 2, 0};
    return b;
}

const testutil::Grid kSheet1 = {{"姓名", "备注", ""},
                                {"张三", "他说\"好\"", ""},
                                {"1234.5", "2024/3/5", ""},
                                {"13800", "formula text", ""},
                                {"", "", "TRUE"}};

TEST(Biff5, GbkTextNumbersDatesFormulasAndChartSheets) {
    testing::TempDir dir;
    for (bool withRecord : {true, false}) {  // no CODEPAGE record: GBK all the same
        auto path = dir / (withRecord ? "with.xls" : "without.xls");
        (void)writeCompoundFile(path, {{"Book", biff5Book(936, withRecord).build()}});
        auto book = testutil::readBook(path);
        ASSERT_EQ(book.size(), 2u) << "the chart sheet does not count";
        EXPECT_EQ(book[0], kSheet1);
        EXPECT_EQ(book[1], (testutil::Grid{{"第三"}}));
    }
    // xlrd, told nothing about the code page, reads the file with the record.
    auto theirs = testutil::readWithXlrd(dir / "with.xls");
    ASSERT_EQ(theirs.size(), 2u);  // xlrd skips the chart sheet too
    EXPECT_EQ(theirs[0], kSheet1);
    EXPECT_EQ(theirs[1], (testutil::Grid{{"第三"}}));
}

TEST(Biff5, OtherCodePages) {
    testing::TempDir dir;
    testutil::StreamBuilder b;
    b.version = 0x0500;
    Bytes cp;
    put16(cp, 1252);
    b.globals.push_back({rec::kCodePage, cp});
    Bytes l = testutil::cellHead(1, 0);
    std::string cafe = "caf\xE9";
    put16(l, static_cast<uint16_t>(cafe.size()));
    testutil::appendText(l, cafe);
    b.sheets = {{{rec::kLabel, l}}};
    auto path = dir / "latin.xls";
    (void)writeCompoundFile(path, {{"Book", b.build()}});
    auto book = testutil::readBook(path);
    ASSERT_EQ(book.size(), 1u);
    EXPECT_EQ(book[0], (testutil::Grid{{""}, {"café"}}));
    EXPECT_EQ(testutil::readWithXlrd(path)[0], book[0]);
}

}  // namespace
}  // namespace tabrovin::xls
