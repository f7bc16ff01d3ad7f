// Pages written into the blank workbook as independent readers see them, what
// the .xls format cannot hold, and the errors for files and templates.

#include "platform/xls/biff_write_file.h"
#include "tests/xlswriter/readers.h"

namespace tabrovin::testing {
namespace {

namespace fs = std::filesystem;

std::string repeat(const std::string& unit, size_t times) {
    std::string s;
    while (times--) s += unit;
    return s;
}

// One LibreOffice run serves the blank workbook and the page of awkward texts.
TEST(Pages, EveryReaderReadsTheBlankWorkbookAndEveryAwkwardText) {
    TempDir dir;
    fs::path blank = dir / "导出空白.xls", page = dir / "页面.xls";
    Grid want = {
        {"编号", "say \"hi\", ok", "Ünïcödé", "姓名"},  // the headings
        {"张三", "他说:\"你好\"", "line1\nline2", "café"},
        {"2", "", "a,b;c'd", " leading \t trailing "},
        // Each longer than one record (8,224 bytes).
        {repeat("汉字", 2100), repeat("x", 9000), repeat("é", 9000), "emoji 😀 ok"},
    };
    ASSERT_TRUE(xls::writeBlankWorkbook(blank).ok());
    Status s =
        xls::ExportTemplate::load(blank)->write(page, want[0], {want.begin() + 1, want.end()});
    ASSERT_TRUE(s.ok()) << textOf(s);
    ASSERT_TRUE(convertToCsv({blank, page}, dir.path()));
    EXPECT_TRUE(fs::exists(dir / "导出空白.csv")) << "LibreOffice opens the blank workbook";
    std::string why;
    auto empty = readBook(blank, &why);
    ASSERT_TRUE(empty) << why;
    EXPECT_EQ(*empty, ReadBook({{"Sheet1", {}}}));
    auto x = readBook(page, &why), csv = readBook(dir / "页面.csv");
    ASSERT_TRUE(x && csv) << why;
    EXPECT_EQ((*x)[0].name, "Sheet1");
    EXPECT_TRUE((*x)[0].rows == want) << "xlrd";
    EXPECT_TRUE((*csv)[0].rows == want) << "LibreOffice";
    EXPECT_TRUE(readWithFreeXl(page) == want) << "FreeXL";
}

TEST(Pages, LongTextsAreCutWholeAndBadUtf8IsReplaced) {
    TempDir dir;
    auto t = blankTemplate(dir.path());
    // 32,766 units then an emoji (two units): the emoji must go whole.
    Grid rows = {{repeat("a", 32766) + "😀tail"},
                 {repeat("中", 40000)},
                 {repeat("ä", 40000)},
                 {"a\xff"
                  "b\xe4\xb8"}};
    ASSERT_TRUE(t.write(dir / "long.xls", {"h"}, rows).ok());
    Grid want = {{"h"},
                 {repeat("a", 32766)},
                 {repeat("中", 32767)},
                 {repeat("ä", 32767)},
                 {"a\xEF\xBF\xBD"
                  "b\xEF\xBF\xBD"}};
    auto book = readBook(dir / "long.xls");
    EXPECT_TRUE(book && (*book)[0].rows == want);
    // The flat form of the rows gives the same cells.
    std::vector<std::string> flat = {"a", "b", "c", "甲", "乙", "丙"};
    ASSERT_TRUE(t.write(dir / "flat.xls", {"x", "y", "z"}, flat, 3).ok());
    EXPECT_EQ(readBook(dir / "flat.xls"),
              ReadBook({{"Sheet1", {{"x", "y", "z"}, {"a", "b", "c"}, {"甲", "乙", "丙"}}}}));
    EXPECT_FALSE(t.write(dir / "bad.xls", {"x"}, flat, 4).ok()) << "6 cells are not rows of 4";
}

TEST(Pages, RowAndColumnLimitsRefuseWithoutWritingAFile) {
    TempDir dir;
    auto t = blankTemplate(dir.path());
    Grid rows = gridOf(65535, 1);
    ASSERT_TRUE(t.write(dir / "full.xls", {"a"}, rows).ok());
    auto full = readBook(dir / "full.xls");
    ASSERT_TRUE(full && (*full)[0].rows.size() == 65536u);
    EXPECT_EQ((*full)[0].rows.back(), rows.back());
    rows.push_back({"x"});
    Status over = t.write(dir / "over.xls", {"a"}, rows);
    EXPECT_EQ(numberOf(over), err::kTooManyRows);
    EXPECT_NE(textOf(over).find("65535"), std::string::npos);
    std::vector<std::string> wide(256, "h");
    wide[255] = "IV";
    ASSERT_TRUE(t.write(dir / "wide.xls", wide, {wide}).ok());
    auto w = readBook(dir / "wide.xls");
    EXPECT_TRUE(w && (*w)[0].rows == Grid({wide, wide}));
    wide.push_back("IW");
    EXPECT_EQ(numberOf(t.write(dir / "over.xls", wide, {})), err::kInvalidArgument);
    Status cells = t.write(dir / "over.xls", {"h"}, {{"a"}, wide});
    EXPECT_NE(textOf(cells).find("第 3 行"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir / "over.xls"));
}

TEST(Pages, FileErrorsNameThePlaceAndLeaveOtherFilesAlone) {
    TempDir dir;
    auto t = blankTemplate(dir.path());
    Status missing = t.write(dir / "没有" / "a.xls", {"h"}, {{"x"}});
    EXPECT_EQ(numberOf(missing), err::kPathNotFound);
    EXPECT_NE(textOf(missing).find("没有"), std::string::npos);
    fs::path locked = dir / "只读.xls";
    writeFile(locked, "keep me");
    fs::permissions(locked, fs::perms::owner_read);
    Status ro = t.write(locked, {"h"}, {{"x"}});
    fs::permissions(locked, fs::perms::owner_all);
    EXPECT_EQ(numberOf(ro), err::kFileAccess);
    EXPECT_EQ(readFile(locked), "keep me");
    fs::create_directories(dir / "folder.xls");
    EXPECT_EQ(numberOf(t.write(dir / "folder.xls", {"h"}, {{"x"}})), err::kFileAccess);
    // An existing workbook is replaced whole, not overwritten in place.
    ASSERT_TRUE(t.write(dir / "o.xls", {"first"}, gridOf(2000, 5)).ok());
    ASSERT_TRUE(t.write(dir / "o.xls", {"second"}, {}).ok());
    EXPECT_EQ(readBook(dir / "o.xls"), ReadBook({{"Sheet1", {{"second"}}}}));
    size_t files = 0;
    for (auto& e : fs::directory_iterator(dir.path())) files += e.is_regular_file();
    EXPECT_EQ(files, 3u) << "template, read-only file and o.xls; no half-written files";
}

TEST(Pages, MissingForeignAndExcel95TemplatesAreRefused) {
    TempDir dir;
    writeFile(dir / "text.xls", "not a workbook at all");
    // Excel 95 books: a "Book" stream, or a BIFF5 BOF in a "Workbook" stream.
    std::vector<uint8_t> bof5 = {9, 8, 8, 0, 0, 5, 5, 0, 0, 0, 0, 0, 0x0A, 0, 0, 0};
    ASSERT_TRUE(xls::writeWorkbookFile(dir / "Book.xls", {{"Book", bof5}}).ok());
    ASSERT_TRUE(xls::writeWorkbookFile(dir / "Workbook.xls", {{"Workbook", bof5}}).ok());
    for (auto [name, number] : {std::pair("none.xls", err::kFileNotFound),
                                {"text.xls", err::kNotWorkbook},
                                {"Book.xls", err::kUnsupportedWorkbook},
                                {"Workbook.xls", err::kUnsupportedWorkbook}})
        EXPECT_EQ(numberOf(xls::ExportTemplate::load(dir / name)), number) << name;
}

}  // namespace
}  // namespace tabrovin::testing
