// The blank export workbook made at build time.

#include <gtest/gtest.h>

#include "platform/xls/biff_record.h"
#include "tests/support/test_support.h"
#include "tests/xlswriter/readers.h"

namespace tabrovin::testing {
namespace {

namespace fs = std::filesystem;

TEST(BlankWorkbook, EveryReaderOpensOneEmptySheet1) {
    TempDir dir;
    fs::path p = dir / "导出空白.xls";
    ASSERT_TRUE(xls::writeBlankWorkbook(p).ok());
    std::string why;
    auto x = readWithXlrd(p, &why);
    ASSERT_TRUE(x) << why;
    ASSERT_EQ(x->size(), 1u);
    EXPECT_EQ((*x)[0].name, "Sheet1");
    EXPECT_EQ((*x)[0].rows, 0u);
    auto f = readWithFreeXl(p, &why);
    ASSERT_TRUE(f) << why;
    EXPECT_EQ((*f)[0].name, "Sheet1");
    // LibreOffice keeps the sheet name when it re-saves the book.
    fs::path ods = convertWithLibreOffice(p, "ods", dir.path());
    ASSERT_FALSE(ods.empty());
    CommandResult names = run("unzip -p " + shellQuote(ods.string()) + " content.xml");
    EXPECT_NE(names.output.find("table:name=\"Sheet1\""), std::string::npos);
}

TEST(BlankWorkbook, RecordsThatPointIntoTheStreamAreRight) {
    TempDir dir;
    fs::path p = dir / "b.xls";
    ASSERT_TRUE(xls::writeBlankWorkbook(p).ok());
    std::vector<uint8_t> stream;
    auto recs = workbookRecords(p, &stream);
    ASSERT_FALSE(recs.empty());
    EXPECT_GE(stream.size(), 4096u) << "kept out of the mini stream";
    auto at = [&](uint16_t type) {
        return std::find_if(recs.begin(), recs.end(),
                            [&](const RawRecord& r) { return r.type == type; });
    };
    auto sheet = at(xls::rec::kBoundSheet);
    ASSERT_NE(sheet, recs.end());
    uint32_t bof = xls::u32(sheet->data, 0);
    ASSERT_LT(bof + 8, stream.size());
    EXPECT_EQ(xls::u16(stream, bof), xls::rec::kBof);
    EXPECT_EQ(xls::u16(stream, bof + 6), 0x0010) << "a worksheet substream";
    auto index = at(xls::rec::kIndex);
    ASSERT_NE(index, recs.end());
    EXPECT_EQ(xls::u16(stream, xls::u32(index->data, 12)), 0x0055) << "ibXF names DEFCOLWIDTH";
}

}  // namespace
}  // namespace tabrovin::testing
