// Streams built record by record: strings split the ways Excel splits them,
// and files that are damaged, locked or no workbook at all, never a crash or hang.

#include <gtest/gtest.h>

#include <random>

#include "platform/xls/biff_workbook.h"
#include "platform/xls/compound_file.h"
#include "tests/xls/xls_test_util.h"

namespace tabrovin::xls {
namespace {
namespace fs = std::filesystem;
using testutil::Bytes, testutil::Grid, testutil::failsWith, testutil::sheetOf;

// Three shared strings over an SST and two CONTINUE records: 8300 characters
// switching from 8-bit to 16-bit at the first split, a string starting inside
// the continuation, and one switching from 16-bit back to 8-bit at the
// second. Sheet 1 shows them; sheet 2 holds a number and, when `badIndex`,
// a cell at row 5, column 3 referring past the table.
Bytes splitStringsBook(bool badIndex = false) {
    Bytes sst = {3, 0, 0, 0, 3, 0, 0, 0, 0x6C, 0x20, 0};  // 3 strings; 0x206C = 8300 chars
    testutil::append(sst, std::string(8000, 'x'));
    Bytes more = {1};
    for (int i = 0; i < 300; ++i) put16(more, 0x4E00);
    Bytes second = testutil::unicodeString("second");
    more.insert(more.end(), second.begin(), second.end());
    more.insert(more.end(), {3, 0, 1, 0x49, 0x6C});  // "汉", then "ab" after the split
    std::vector<testutil::Rec> s1, s2;
    for (uint16_t i = 0; i < 3 + badIndex; ++i) {
        Bytes c = testutil::cellHead(i < 3 ? i : 4, i < 3 ? i : 2);
        put32(c, i);
        (i < 3 ? s1 : s2).push_back({rec::kLabelSst, c});
    }
    s2.insert(s2.begin(), testutil::number(3, 0, 2.5));
    return testutil::bookStream(
        {{rec::kSst, sst}, {rec::kContinue, more}, {rec::kContinue, {0, 'a', 'b'}}}, {s1, s2});
}

// How the splits read is checked with the string table alone.
TEST(BuiltStreams, AnIndexPastTheStringTableNamesItsCell) {
    EXPECT_EQ(sheetOf(splitStringsBook(), 2), (Grid{{""}, {""}, {""}, {"2.5"}}));
    EXPECT_TRUE(failsWith(testutil::sheetError(splitStringsBook(true), 2), err::kDamagedWorkbook,
                          "第 2 个工作表第 5 行第 3 列"));
}

// Errors from opening the file and then taking each sheet; 0 when all is well.
int firstError(const fs::path& p) {
    auto book = openXlsWorkbook(p);
    if (!book) return book.error().description.empty() ? -1 : book.error().number;
    for (int n = 1; n <= (*book)->sheetCount(); ++n)
        if (auto s = (*book)->worksheet(n); !s) return s.error().number;
    return 0;
}

fs::path wrap(const testing::TempDir& dir, const std::string& name, const Bytes& stream) {
    (void)writeCompoundFile(dir / name, {{"Workbook", stream}});
    return dir / name;
}

TEST(BadFiles, NotWorkbooksAndLockedOnes) {
    testing::TempDir dir;
    std::mt19937 rng(7);
    std::string noise(5000, '\0');
    for (char& c : noise) c = static_cast<char>(rng());
    testing::writeFile(dir / "noise.xls", noise);
    EXPECT_EQ(firstError(dir / "noise.xls"), err::kNotWorkbook);
    EXPECT_EQ(firstError(wrap(dir, "nobof.xls", Bytes(100, 0x41))), err::kNotWorkbook);
    EXPECT_EQ(firstError(dir / "missing.xls"), err::kFileNotFound);
    Bytes locked = testutil::bookStream({{rec::kFilePass, Bytes(54, 0x11)}}, {{}});
    EXPECT_TRUE(failsWith(openXlsWorkbook(wrap(dir, "locked.xls", locked)), err::kEncryptedWorkbook,
                          "密码"));
}

// A container cut anywhere is reported by the reader's own error alone: the
// library beneath it must not print its complaints for the user to see.
TEST(BadFiles, CutContainersLeaveStandardErrorClean) {
    testing::TempDir dir;
    std::vector<Stream> streams = {{"Workbook", splitStringsBook()},
                                   {"\x05SummaryInformation", Bytes(9000, 7)},
                                   {"Other/Deep", Bytes(300, 1)}};
    ASSERT_TRUE(writeCompoundFile(dir / "whole.xls", streams).ok());
    std::string whole = testing::readFile(dir / "whole.xls");
    ::testing::internal::CaptureStderr();
    for (size_t cut = 100; cut < whole.size(); cut += 509) {
        testing::writeFile(dir / "cut.xls", whole.substr(0, cut));
        int e = firstError(dir / "cut.xls");
        EXPECT_TRUE(e == err::kNotWorkbook || e == err::kDamagedWorkbook) << cut << ": " << e;
    }
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

// Every prefix of a valid stream is refused: at opening when the cut is in
// the workbook globals, when the sheet is taken when it is in a sheet.
TEST(BadFiles, TruncatedOrMisdirectedStreams) {
    Bytes full = splitStringsBook();
    for (size_t cut = 0; cut < full.size(); ++cut) {
        auto book = parseWorkbookStream(Bytes(full.begin(), full.begin() + cut), "built.xls");
        if (!book.ok()) {
            EXPECT_EQ(book.error().number, cut < 4 ? err::kNotWorkbook : err::kDamagedWorkbook)
                << "cut at " << cut;
            continue;
        }
        auto s1 = (*book)->worksheet(1), s2 = (*book)->worksheet(2);
        EXPECT_TRUE(s2.ok() ? failsWith(s1, err::kDamagedWorkbook, "第 1 个工作表")
                            : failsWith(s2, err::kDamagedWorkbook, "第 2 个工作表"))
            << "cut at " << cut;
    }
    // A sheet directory entry pointing anywhere but at the sheet's BOF.
    for (uint32_t target : {0xFFFFFFF0u, 0u, 3u, 62u}) {
        Bytes s = testutil::bookStream({}, {{}});  // the offset sits at byte 24
        for (int k = 0; k < 4; ++k) s[24 + k] = static_cast<uint8_t>(target >> 8 * k);
        EXPECT_TRUE(failsWith(testutil::sheetError(s), err::kDamagedWorkbook, "第 1 个工作表"))
            << target;
    }
}

}  // namespace
}  // namespace tabrovin::xls
