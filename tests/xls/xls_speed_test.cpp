// A full .xls sheet (65,535 rows x 10 columns) opens and reads in under a
// second: the sheet is parsed once, and reading renders row by row.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

#include "platform/xls/compound_file.h"
#include "tests/xls/biff_builder.h"
#include "tests/xls/xls_test_util.h"

namespace tabrovin::xls {
namespace {
using testutil::Bytes;

// Columns 1-4 shared strings, 5-6 RK numbers, 7 NUMBER, 8 a date, 9-10 LABEL.
Bytes bigStream(int rows) {
    testutil::StreamBuilder b;
    Bytes sst;
    put32(sst, static_cast<uint32_t>(rows) * 4);
    put32(sst, 1000);
    std::vector<testutil::Rec> globals;
    for (int i = 0; i < 1000; ++i) {
        Bytes s = testutil::unicodeString("名称" + std::to_string(i));
        if (sst.size() + s.size() > kMaxRecordData) {
            globals.push_back({globals.empty() ? rec::kSst : rec::kContinue, sst});
            sst.clear();
        }
        testutil::append(sst, s);
    }
    globals.push_back({globals.empty() ? rec::kSst : rec::kContinue, sst});
    for (int i = 0; i < 16; ++i) globals.push_back({rec::kXf, Bytes{0, 0, 0, 0, 0, 0, 0, 0}});
    globals.push_back({rec::kXf, Bytes{0, 0, 14, 0, 0, 0, 0, 0}});  // XF 16: built-in date
    b.globals = globals;
    std::vector<testutil::Rec> sheet;
    sheet.reserve(static_cast<size_t>(rows) * 8);
    for (int r = 0; r < rows; ++r) {
        uint16_t row = static_cast<uint16_t>(r);
        for (uint16_t c = 0; c < 4; ++c) {
            Bytes d = testutil::cellHead(row, c);
            put32(d, static_cast<uint32_t>((r + c) % 1000));
            sheet.push_back({rec::kLabelSst, d});
        }
        Bytes m = testutil::cellHead(row, 4);
        m.resize(4);
        for (int k = 0; k < 2; ++k) put16(m, 15), put32(m, static_cast<uint32_t>((r << 2) | 2));
        put16(m, 5);
        sheet.push_back({rec::kMulRk, m});
        Bytes n = testutil::cellHead(row, 6);
        testutil::putDouble(n, r + 0.5);
        sheet.push_back({rec::kNumber, n});
        Bytes d = testutil::cellHead(row, 7, 16);
        testutil::putDouble(d, 45356);
        sheet.push_back({rec::kNumber, d});
        for (uint16_t c = 8; c < 10; ++c) {
            Bytes l = testutil::cellHead(row, c);
            testutil::append(l, testutil::unicodeString("文字" + std::to_string(r)));
            sheet.push_back({rec::kLabel, l});
        }
    }
    b.sheets = {sheet};
    return b.build();
}

TEST(XlsSpeed, FullSheetOpensAndReadsInUnderASecond) {
    testing::TempDir dir;
    auto path = dir / "big.xls";
    (void)writeCompoundFile(path, {{"Workbook", bigStream(65535)}});
    auto start = std::chrono::steady_clock::now();
    auto book = openXlsWorkbook(path);
    ASSERT_TRUE(book.ok()) << book.error().description;
    auto sheet = (*book)->worksheet(1);
    ASSERT_TRUE(sheet.ok()) << sheet.error().description;
    SheetSize size = (*sheet)->size();
    ASSERT_EQ(size.rows, 65535);
    ASSERT_EQ(size.columns, 10);
    size_t bytes = 0;
    std::vector<std::string> last;
    Status st = (*sheet)->readRows(1, size.rows, size.columns,
                                   [&](int32_t row, const std::vector<std::string>& cells) {
                                       for (const auto& c : cells) bytes += c.size();
                                       if (row == size.rows) last = cells;
                                       return Status::Ok();
                                   });
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ASSERT_TRUE(st.ok());
    EXPECT_LT(seconds, 1.0);
    std::printf("65535 x 10 opened and read in %.3f s\n", seconds);
    EXPECT_EQ(last,
              (std::vector<std::string>{"名称534", "名称535", "名称536", "名称537", "65534",
                                        "65534", "65534.5", "2024/3/5", "文字65534", "文字65534"}));
    EXPECT_GT(bytes, 65535u * 40);
}

}  // namespace
}  // namespace tabrovin::xls
