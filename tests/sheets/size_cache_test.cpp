// A sheet's size is measured once per file version: a file changed since is
// measured again.
#include "platform/sheets/size_cache.h"

#include <gtest/gtest.h>

#include "tests/sheets/package_util.h"

namespace tabrovin::testing {
namespace {

// An .xlsx at `out` of `rows` rows, two columns wide.
void writeRows(const std::filesystem::path& out, int rows) {
    std::string xml;
    for (int i = 0; i < rows; ++i) xml += "<row><c><v>1</v></c><c><v>2</v></c></row>";
    writePackage(out, xlsxParts({worksheet(xml)}));
}

SheetSize sizeOf(const std::filesystem::path& path) {
    auto book = openWorkbookFile(path);
    auto sheet = book ? (*book)->worksheet(1) : book.error();
    EXPECT_TRUE(sheet.ok()) << path;
    return sheet ? (*sheet)->size() : SheetSize{};
}

TEST(SheetSizes, AChangedFileIsMeasuredAgain) {
    using sheets::cachedSize;
    using sheets::FileIdentity;
    TempDir dir;
    auto file = dir / "grow.xlsx";
    writeRows(file, 3);
    EXPECT_EQ(sizeOf(file).rows, 3);
    auto remembered = cachedSize(FileIdentity::of(file), 0);
    ASSERT_TRUE(remembered.has_value());
    EXPECT_EQ(remembered->rows, 3);
    // The same file version is not measured again: what is remembered serves.
    sheets::rememberSize(FileIdentity::of(file), 0, SheetSize{99, 2});
    EXPECT_EQ(sizeOf(file).rows, 99);
    writeRows(file, 7);
    EXPECT_EQ(sizeOf(file).rows, 7);
    auto other = dir / "other.xlsx";
    writeRows(other, 2);
    EXPECT_EQ(sizeOf(other).rows, 2);
    EXPECT_EQ(sizeOf(file).columns, 2);
}

}  // namespace
}  // namespace tabrovin::testing
