// Which numbers show as dates follows the cell's XF and its number format,
// whether the format is built in or written into the workbook.

#include <gtest/gtest.h>

#include "platform/xls/biff_workbook.h"
#include "tests/xls/biff_builder.h"

namespace tabrovin::xls {
namespace {
using testutil::Bytes;

std::vector<std::string> firstRow(const Bytes& stream, int columns) {
    std::vector<std::string> out;
    auto book = parseWorkbookStream(stream);
    EXPECT_TRUE(book.ok()) << (book.ok() ? "" : book.error().description);
    if (!book) return out;
    auto sheet = (*book)->worksheet(1);
    EXPECT_TRUE(sheet.ok());
    if (!sheet) return out;
    EXPECT_TRUE((*sheet)
                    ->readRows(1, 1, columns,
                               [&](int32_t, const std::vector<std::string>& c) {
                                   out = c;
                                   return Status::Ok();
                               })
                    .ok());
    return out;
}

TEST(NumberFormats, CustomAndBuiltInFormatsDecideDates) {
    const std::vector<std::pair<uint16_t, std::string>> custom = {
        {164, "General"},   {165, "0.00E+00"}, {166, "yyyy\"年\"m\"月\"d\"日\""},
        {167, "[h]:mm:ss"}, {168, "#,##0.00"}, {169, "\"day\" 0"},
        {14, "yyyy/m/d;@"}};  // a writer's own code for a built-in id
    testutil::StreamBuilder b;
    for (const auto& [id, code] : custom) {
        Bytes f;
        put16(f, id);
        testutil::append(f, testutil::unicodeString(code));
        b.globals.push_back({rec::kFormat, f});
    }
    std::vector<uint16_t> xfFormats = {164, 165, 166, 167, 168, 169, 14, 22, 0, 999};
    for (uint16_t id : xfFormats) {
        Bytes x = {0, 0};
        put16(x, id);
        x.resize(20, 0);
        b.globals.push_back({rec::kXf, x});
    }
    std::vector<testutil::Rec> cells;
    for (uint16_t c = 0; c <= xfFormats.size(); ++c) {
        Bytes n = testutil::cellHead(0, c, c);  // XF c; the last one has no XF at all
        testutil::putDouble(n, 45356.6041666667);
        cells.push_back({rec::kNumber, n});
    }
    b.sheets = {cells};
    auto row = firstRow(b.build(), 11);
    EXPECT_EQ(row, (std::vector<std::string>{"45356.6041666667", "45356.6041666667", "2024/3/5",
                                             "14:30:00", "45356.6041666667", "45356.6041666667",
                                             "2024/3/5", "2024/3/5 14:30", "45356.6041666667",
                                             "45356.6041666667", "45356.6041666667"}));
    // The 1904 date system moves every date by 1462 days.
    b.globals.push_back({rec::kDate1904, Bytes{1, 0}});
    row = firstRow(b.build(), 3);
    EXPECT_EQ(row[2], "2028/3/6");
}

}  // namespace
}  // namespace tabrovin::xls
