// Shared strings split over CONTINUE records in the ways Excel splits them.

#include <gtest/gtest.h>

#include "platform/xls/biff_strings.h"
#include "platform/xls/biff_workbook.h"
#include "tests/xls/biff_builder.h"

namespace tabrovin::xls {
namespace {
using testutil::Bytes;

Record sstRecord(const Bytes& first, const std::vector<Bytes>& more) {
    Record r;
    r.type = rec::kSst;
    r.data = first;
    for (const Bytes& b : more) r.continues.emplace_back(b);
    return r;
}

Bytes header(uint32_t count) {
    Bytes d;
    put32(d, count);
    put32(d, count);
    return d;
}

TEST(SharedStrings, ContinuationSwitchesBetweenByteAndWideCharacters) {
    // "abcd" + "中文": four 8-bit characters, then the rest as 16-bit ones
    // after a fresh option byte in the CONTINUE record.
    Bytes first = header(2), second = {0x01};
    put16(first, 6);
    first.push_back(0x00);
    testutil::appendText(first, "abcd");
    put16(second, 0x4E2D);
    put16(second, 0x6587);
    // A second string that starts inside the continuation.
    testutil::append(second, testutil::unicodeString("xyz"));
    Bytes a = first, b = second;
    auto table = parseSharedStrings(sstRecord(a, {b}));
    ASSERT_TRUE(table.ok()) << table.error().description;
    ASSERT_EQ(table->size(), 2u);
    EXPECT_EQ(table->at(0), "abcd中文");
    EXPECT_EQ(table->at(1), "xyz");

    // The other way round: wide first, then 8-bit after the split.
    Bytes w1 = header(1), w2 = {0x00};
    put16(w1, 3);
    w1.push_back(0x01);
    put16(w1, 0x6C49);
    testutil::appendText(w2, "ab");
    table = parseSharedStrings(sstRecord(w1, {w2}));
    ASSERT_TRUE(table.ok());
    EXPECT_EQ(table->at(0), "汉ab");
}

TEST(SharedStrings, RichRunsAndPhoneticDataMaySpillIntoTheNextRecord) {
    Bytes first = header(2);
    put16(first, 2);
    first.push_back(0x0C);  // rich text and phonetic data, 8-bit characters
    put16(first, 2);        // two formatting runs of four bytes
    put32(first, 6);        // six bytes of phonetic data
    testutil::appendText(first, "ab");
    put32(first, 0x11111111);  // first run; the second is in the continuation
    Bytes second;
    put32(second, 0x22222222);
    testutil::append(second, Bytes(6, 0xEE));
    testutil::append(second, testutil::unicodeString("下一个"));
    auto table = parseSharedStrings(sstRecord(first, {second}));
    ASSERT_TRUE(table.ok()) << table.error().description;
    ASSERT_EQ(table->size(), 2u);
    EXPECT_EQ(table->at(0), "ab");
    EXPECT_EQ(table->at(1), "下一个");
}

TEST(SharedStrings, NulCharactersAreDropped) {
    Bytes d = header(1);
    put16(d, 3);
    d.push_back(0);
    d.insert(d.end(), {'a', 0, 'b'});
    auto table = parseSharedStrings(sstRecord(d, {}));
    ASSERT_TRUE(table.ok());
    EXPECT_EQ(table->at(0), "ab");
}

TEST(SharedStrings, CutOffStringsAreDamagedButAShortCountIsNot) {
    Bytes d = header(1000000);  // claims far more than present
    testutil::append(d, testutil::unicodeString("one"));
    auto table = parseSharedStrings(sstRecord(d, {}));
    ASSERT_TRUE(table.ok());
    EXPECT_EQ(table->size(), 1u);

    Bytes cut = header(1);
    put16(cut, 60000);  // 60000 characters announced, three present
    cut.push_back(0);
    testutil::appendText(cut, "abc");
    table = parseSharedStrings(sstRecord(cut, {}));
    ASSERT_FALSE(table.ok());
    EXPECT_EQ(table.error().number, err::kDamagedWorkbook);

    Bytes runs = header(1);  // runs announced but missing
    put16(runs, 1);
    runs.push_back(0x08);
    put16(runs, 500);
    runs.push_back('a');
    table = parseSharedStrings(sstRecord(runs, {}));
    ASSERT_FALSE(table.ok());
    EXPECT_EQ(table.error().number, err::kDamagedWorkbook);

    Bytes tiny = {1, 0, 0};
    table = parseSharedStrings(sstRecord(tiny, {}));
    ASSERT_FALSE(table.ok());
}

TEST(ByteStrings, CodePagesWithFallbacks) {
    std::string gbk = *encoding::fromUtf8("中文", encoding::kGbk);
    EXPECT_EQ(decodeByteString(gbk, 936), "中文");
    EXPECT_EQ(decodeByteString(gbk, 0), "中文");     // no CODEPAGE record
    EXPECT_EQ(decodeByteString(gbk, 1200), "中文");  // meaningless for bytes
    EXPECT_EQ(decodeByteString("caf\xE9", 1252), "café");
    EXPECT_EQ(decodeByteString("caf\xE9", 0x8001), "café");
    // Not GBK, not GB18030: every byte still becomes some character.
    std::string odd = decodeByteString("\xFF\xFF", 936);
    EXPECT_TRUE(encoding::isValidUtf8(odd));
    EXPECT_FALSE(odd.empty());
    EXPECT_EQ(decodeByteString(std::string("a\0b", 3), 936), "ab");
}

// The table as a whole workbook uses it, with a LABELSST in a worksheet.
TEST(SharedStrings, CellsReferToTheTableAcrossContinueRecords) {
    testutil::StreamBuilder b;
    Bytes sst = header(2);
    std::string longText(8000, 'x');
    put16(sst, 8300);
    sst.push_back(0);
    testutil::appendText(sst, longText);
    Bytes cont = {0x01};  // the last 300 characters as 16-bit ones
    for (int i = 0; i < 300; ++i) put16(cont, 0x4E00);
    testutil::append(cont, testutil::unicodeString("second"));
    b.globals = {{rec::kSst, sst}, {rec::kContinue, cont}};
    Bytes c1 = testutil::cellHead(0, 0), c2 = testutil::cellHead(1, 1);
    put32(c1, 0);
    put32(c2, 1);
    b.sheets = {{{rec::kLabelSst, c1}, {rec::kLabelSst, c2}}};
    auto book = parseWorkbookStream(b.build());
    ASSERT_TRUE(book.ok()) << book.error().description;
    auto sheet = (*book)->worksheet(1);
    ASSERT_TRUE(sheet.ok());
    std::vector<std::vector<std::string>> rows;
    ASSERT_TRUE((*sheet)
                    ->readRows(1, 2, 2,
                               [&](int32_t, const std::vector<std::string>& c) {
                                   rows.push_back(c);
                                   return Status::Ok();
                               })
                    .ok());
    std::string expected = longText;
    for (int i = 0; i < 300; ++i) expected += "一";
    EXPECT_EQ(rows[0][0], expected);
    EXPECT_EQ(rows[1][1], "second");
}

}  // namespace
}  // namespace tabrovin::xls
