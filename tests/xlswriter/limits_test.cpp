// What the .xls format cannot hold is refused, and file errors say where.

#include <gtest/gtest.h>

#include "platform/xls/biff_write_file.h"
#include "tests/support/test_support.h"
#include "tests/xlswriter/readers.h"

namespace tabrovin::testing {
namespace {

namespace fs = std::filesystem;

TEST(PageLimits, FullSheetIsWrittenAndOneRowMoreIsRefused) {
    TempDir dir;
    auto t = blankTemplate(dir.path());
    auto rows = gridOf(65535, 2);
    ASSERT_TRUE(t.write(dir / "full.xls", {"a", "b"}, rows).ok());
    auto book = readWithXlrd(dir / "full.xls");
    ASSERT_TRUE(book);
    EXPECT_EQ((*book)[0].rows, 65536u);
    EXPECT_EQ((*book)[0].at(65535, 1), "r65534c1");
    rows.push_back({"x"});
    Status s = t.write(dir / "over.xls", {"a"}, rows);
    ASSERT_FALSE(s.ok());
    EXPECT_EQ(s.error().number, err::kTooManyRows);
    EXPECT_NE(s.error().description.find("65535"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir / "over.xls"));
}

TEST(PageLimits, MoreThan256ColumnsAreRefused) {
    TempDir dir;
    auto t = blankTemplate(dir.path());
    std::vector<std::string> wide(257, "h");
    Status s = t.write(dir / "w.xls", wide, {});
    ASSERT_FALSE(s.ok());
    EXPECT_EQ(s.error().number, err::kInvalidArgument);
    Status row = t.write(dir / "w.xls", {"h"}, {{"a"}, std::vector<std::string>(257, "x")});
    ASSERT_FALSE(row.ok());
    EXPECT_NE(row.error().description.find("第 3 行"), std::string::npos);
    std::vector<std::string> last(256, "x");
    last[255] = "IV";
    ASSERT_TRUE(t.write(dir / "ok.xls", std::vector<std::string>(256, "h"), {last}).ok());
    auto book = readWithXlrd(dir / "ok.xls");
    ASSERT_TRUE(book);
    EXPECT_EQ((*book)[0].at(1, 255), "IV");
}

TEST(PageLimits, HeadingsOnlyAndNothingAtAll) {
    TempDir dir;
    auto t = blankTemplate(dir.path());
    ASSERT_TRUE(t.write(dir / "h.xls", {"只有标题", "第二列"}, {}).ok());
    ASSERT_TRUE(t.write(dir / "none.xls", {}, {}).ok());
    auto h = readWithXlrd(dir / "h.xls");
    ASSERT_TRUE(h);
    EXPECT_EQ((*h)[0].rows, 1u);
    EXPECT_EQ((*h)[0].at(0, 1), "第二列");
    std::string why;
    auto none = readWithFreeXl(dir / "none.xls", &why);
    ASSERT_TRUE(none) << why;
    EXPECT_EQ((*none)[0].rows, 0u);
    auto csv = readWithLibreOffice(dir / "h.xls", dir.path());
    ASSERT_TRUE(csv);
    ASSERT_EQ(csv->size(), 1u);
    EXPECT_EQ((*csv)[0][0], "只有标题");
}

TEST(FileErrors, MissingFolderReadOnlyFileAndFolderInTheWay) {
    TempDir dir;
    auto t = blankTemplate(dir.path());
    Status missing = t.write(dir / "没有" / "a.xls", {"h"}, {{"x"}});
    ASSERT_FALSE(missing.ok());
    EXPECT_EQ(missing.error().number, err::kPathNotFound);
    EXPECT_NE(missing.error().description.find("没有"), std::string::npos);

    fs::path locked = dir / "只读.xls";
    writeFile(locked, "keep me");
    fs::permissions(locked, fs::perms::owner_read);
    Status ro = t.write(locked, {"h"}, {{"x"}});
    ASSERT_FALSE(ro.ok());
    EXPECT_EQ(ro.error().number, err::kFileAccess);
    fs::permissions(locked, fs::perms::owner_all);
    EXPECT_EQ(readFile(locked), "keep me");

    fs::create_directories(dir / "folder.xls");
    Status folder = t.write(dir / "folder.xls", {"h"}, {{"x"}});
    ASSERT_FALSE(folder.ok());
    EXPECT_EQ(folder.error().number, err::kFileAccess);

    size_t files = 0;
    for (auto& e : fs::directory_iterator(dir.path())) files += e.is_regular_file();
    EXPECT_EQ(files, 2u) << "only the template and the read-only file; no half-written files";
}

TEST(FileErrors, ExistingFileIsReplacedWhole) {
    TempDir dir;
    auto t = blankTemplate(dir.path());
    ASSERT_TRUE(t.write(dir / "o.xls", {"first"}, gridOf(2000, 5)).ok());
    ASSERT_TRUE(t.write(dir / "o.xls", {"second"}, gridOf(1, 1)).ok());
    auto book = readWithXlrd(dir / "o.xls");
    ASSERT_TRUE(book);
    EXPECT_EQ((*book)[0].at(0, 0), "second");
    EXPECT_EQ((*book)[0].rows, 2u);
}

TEST(TemplateErrors, MissingForeignAndOldTemplatesAreRefused) {
    TempDir dir;
    auto missing = xls::ExportTemplate::load(dir / "none.xls");
    ASSERT_FALSE(missing.ok());
    EXPECT_EQ(missing.error().number, err::kFileNotFound);

    writeFile(dir / "text.xls", "not a workbook at all");
    auto text = xls::ExportTemplate::load(dir / "text.xls");
    ASSERT_FALSE(text.ok());
    EXPECT_EQ(text.error().number, err::kNotWorkbook);

    // Excel 95 books: a "Book" stream, or a BIFF5 BOF in a "Workbook" stream.
    std::vector<uint8_t> bof5 = {0x09, 0x08, 0x08, 0x00, 0x00, 0x05, 0x05, 0x00,
                                 0,    0,    0,    0,    0x0A, 0x00, 0x00, 0x00};
    for (const char* name : {"Book", "Workbook"}) {
        fs::path old = dir / (std::string(name) + ".xls");
        ASSERT_TRUE(xls::writeWorkbookFile(old, {xls::Stream{name, bof5}}).ok());
        auto five = xls::ExportTemplate::load(old);
        ASSERT_FALSE(five.ok()) << name;
        EXPECT_EQ(five.error().number, err::kUnsupportedWorkbook) << name;
    }
}

}  // namespace
}  // namespace tabrovin::testing
