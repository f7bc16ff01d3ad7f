// A sheet's size is measured once per file version: a file changed since is
// measured again.
#include "platform/sheets/size_cache.h"

#include <gtest/gtest.h>

#include "platform/workbook.h"
#include "tests/support/test_support.h"

namespace tt = tabrovin::testing;

namespace {

void writeRows(const std::filesystem::path& out, int rows) {
    auto r = tt::runPython(
        "import sys, openpyxl\n"
        "wb = openpyxl.Workbook(); ws = wb.active\n"
        "for i in range(int(sys.argv[2])): ws.append(['r%d' % i, i])\n"
        "wb.save(sys.argv[1])\n",
        tt::shellQuote(out.string()) + " " + std::to_string(rows));
    ASSERT_EQ(r.exitCode, 0) << r.output;
}

tabrovin::SheetSize sizeOf(const std::filesystem::path& path) {
    auto book = tabrovin::openWorkbookFile(path);
    EXPECT_TRUE(book.ok());
    auto sheet = (*book)->worksheet(1);
    EXPECT_TRUE(sheet.ok());
    return (*sheet)->size();
}

}  // namespace

TEST(SheetSizes, AChangedFileIsMeasuredAgain) {
    using tabrovin::sheets::cachedSize;
    using tabrovin::sheets::FileIdentity;
    tt::TempDir dir;
    auto file = dir / "grow.xlsx";
    writeRows(file, 3);
    EXPECT_EQ(sizeOf(file).rows, 3);
    auto remembered = cachedSize(FileIdentity::of(file), 0);
    ASSERT_TRUE(remembered.has_value());
    EXPECT_EQ(remembered->rows, 3);
    // The same file version is not measured again: what is remembered serves.
    tabrovin::sheets::rememberSize(FileIdentity::of(file), 0, tabrovin::SheetSize{99, 2});
    EXPECT_EQ(sizeOf(file).rows, 99);
    writeRows(file, 7);
    EXPECT_EQ(sizeOf(file).rows, 7);
    auto other = dir / "other.xlsx";
    writeRows(other, 2);
    EXPECT_EQ(sizeOf(other).rows, 2);
    EXPECT_EQ(sizeOf(file).columns, 2);
}
