// Pages written into the blank workbook as independent readers see them, what
// the .xls format cannot hold (a page too large is refused before anything is
// written, judged ahead from an upper bound of the shared string table), and
// the errors for files and templates.

#include <random>

#include "platform/xls/biff_write_file.h"
#include "platform/xls/biff_write_template.h"
#include "tests/xlswriter/readers.h"

namespace tabrovin::testing {
namespace {

namespace fs = std::filesystem;

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
        // Over a cell's 32,767 units: cut whole (the emoji is two); not UTF-8.
        {repeat("a", 32766) + "😀tail", repeat("中", 40000), repeat("ä", 40000),
         "a\xff"
         "b\xe4\xb8"},
    };
    ASSERT_TRUE(xls::writeBlankWorkbook(blank).ok());
    auto t = xls::ExportTemplate::load(blank);
    ASSERT_TRUE(t && t->write(page, want[0], {want.begin() + 1, want.end()}).ok());
    want[4] = {repeat("a", 32766), repeat("中", 32767), repeat("ä", 32767), "a\uFFFDb\uFFFD"};
    ASSERT_TRUE(convertWithLibreOffice({blank, page}, "csv:Text - txt - csv (StarCalc):44,34,76,1",
                                       dir.path()));
    EXPECT_TRUE(fs::exists(dir / "导出空白.csv")) << "LibreOffice opens the blank workbook";
    EXPECT_EQ(readBook(blank), ReadBook({{"Sheet1", {}}}));
    EXPECT_EQ(readBook(page), ReadBook({{"Sheet1", want}}));
    EXPECT_EQ(readBook(dir / "页面.csv", "csv"), ReadBook({{"", want}}));
}

// The flat form of the rows gives the same cells.
TEST(Pages, RowsMayComeAsOneFlatList) {
    TempDir dir;
    auto t = blankTemplate(dir.path());
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
    rows.insert(rows.begin(), {"a"});
    EXPECT_TRUE(readBook(dir / "full.xls") == ReadBook({{"Sheet1", rows}}));
    rows.push_back({"x"});
    EXPECT_TRUE(failsWith(t.write(dir / "over.xls", {"a"}, rows), err::kTooManyRows, "65535"));
    std::vector<std::string> wide(256, "h");
    wide[255] = "IV";
    ASSERT_TRUE(t.write(dir / "wide.xls", wide, {wide}).ok());
    EXPECT_EQ(readBook(dir / "wide.xls"), ReadBook({{"Sheet1", {wide, wide}}}));
    wide.push_back("IW");
    EXPECT_TRUE(failsWith(t.write(dir / "over.xls", wide, {}), err::kRefused));
    EXPECT_TRUE(
        failsWith(t.write(dir / "over.xls", {"h"}, {{"a"}, wide}), err::kRefused, "第 3 行"));
    EXPECT_FALSE(fs::exists(dir / "over.xls"));
}

TEST(Pages, AWorkbookIsReplacedWholeAndBadTemplatesAreRefused) {
    TempDir dir;
    auto t = blankTemplate(dir.path());
    ASSERT_TRUE(t.write(dir / "o.xls", {"first"}, gridOf(2000, 5)).ok());
    ASSERT_TRUE(t.write(dir / "o.xls", {"second"}, {}).ok());
    EXPECT_EQ(readBook(dir / "o.xls"), ReadBook({{"Sheet1", {{"second"}}}}));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2)
        << "no half-written files";

    // Not a workbook, Excel 95 ("Book" stream, or BIFF5 in "Workbook").
    writeFile(dir / "text.xls", "not a workbook at all");
    std::vector<uint8_t> bof5 = {9, 8, 8, 0, 0, 5, 5, 0, 0, 0, 0, 0, 0x0A, 0, 0, 0};
    ASSERT_TRUE(xls::writeWorkbookFile(dir / "Book.xls", {{"Book", bof5}}).ok());
    ASSERT_TRUE(xls::writeWorkbookFile(dir / "Workbook.xls", {{"Workbook", bof5}}).ok());
    for (auto [name, number] : {std::pair("text.xls", err::kNotWorkbook),
                                {"Book.xls", err::kUnsupportedWorkbook},
                                {"Workbook.xls", err::kUnsupportedWorkbook}})
        EXPECT_TRUE(failsWith(xls::ExportTemplate::load(dir / name), number)) << name;

    // A cell whose text is not in the table: every page would carry it and
    // none would open, so the template is refused, naming the cell.
    ASSERT_TRUE(t.write(dir / "cell.xls", {"h"}, {{"x"}}).ok());
    size_t cell = 0;  // the last text cell: row 2's
    for (const auto& r : workbookRecords(dir / "cell.xls"))
        if (r.type == xls::rec::kLabelSst) cell = r.offset;
    auto streams = xls::readCompoundFile(dir / "cell.xls").value();
    ASSERT_EQ(streams[0].path, "Workbook");
    xls::store32(streams[0].data.data() + cell + 4 + 6, 999);
    ASSERT_TRUE(xls::writeWorkbookFile(dir / "cell.xls", streams).ok());
    EXPECT_TRUE(failsWith(xls::ExportTemplate::load(dir / "cell.xls"), err::kDamagedWorkbook,
                          "第 2 行第 1 列"));
}

std::vector<std::string> awkwardTexts() {
    std::mt19937 rng(11);
    std::vector<std::string> texts = {"", "plain", "café", "汉字", "emoji 😀", "bad \xff\xe4\xb8"};
    const char* units[] = {"a", "é", "中", "😀", "\x80", "\xf0\x9f"};
    for (int i = 0; i < 400; ++i) {
        std::string s;
        size_t n = rng() % (i % 50 == 0 ? 40000 : 300);
        while (s.size() < n) s += units[rng() % (i % 3 == 0 ? 2 : 6)];
        texts.push_back(s);
    }
    return texts;
}

// The bound is never below what the writer writes (or a page could pass the
// limit unnoticed) and hardly above it (or pages that fit would be refused).
TEST(PageSize, SharedStringBoundHoldsTheWrittenTable) {
    std::vector<std::string> texts = awkwardTexts();
    std::vector<xls::StoredString> stored(3);
    stored[1].cch = 2;
    stored[1].chars = {'o', 'k'};
    stored[2].cch = 1;
    stored[2].wide = true;
    stored[2].chars = {0x2D, 0x4E};
    stored[2].runCount = 1;
    stored[2].extBytes = 20;
    stored[2].tail.assign(24, 1);
    for (size_t count : {size_t(0), size_t(1), size_t(37), texts.size()}) {
        std::vector<std::string_view> views(texts.begin(), texts.begin() + count);
        std::vector<uint8_t> stream;
        xls::SstWriter writer(stream, 0, stored.size() + views.size());
        for (const auto& s : stored) writer.add(s);
        for (auto v : views) writer.addUtf8(v);
        writer.finish();
        uint64_t bound = xls::sstSizeBound(stored, views);
        EXPECT_GE(bound, stream.size()) << count;
        EXPECT_LE(bound, stream.size() + stream.size() / 200 + 1100) << count;
        const uint64_t rough = xls::sstRoughBound(stored, views);
        EXPECT_TRUE(rough >= bound && rough <= 4 * bound) << count;
    }
}

TEST(PageSize, APageOverTheLimitIsRefusedBeforeAnythingIsWritten) {
    TempDir dir;
    ASSERT_TRUE(xls::writeBlankWorkbook(dir / "blank.xls").ok());
    auto streams = xls::readCompoundFile(dir / "blank.xls");
    ASSERT_TRUE(streams.ok());
    auto impl = xls::parseTemplate(std::move(*streams), "blank.xls");
    ASSERT_TRUE(impl.ok());
    std::vector<std::string> cells;
    for (const auto& row : gridOf(3000, 4))
        for (const auto& text : row) cells.push_back(text + " 数据");

    ASSERT_TRUE(xls::writePage(**impl, dir / "fits.xls", {"甲", "乙", "丙", "丁"}, cells, 4,
                               xls::kMaxWorkbookStream)
                    .ok());
    auto written = xls::readCompoundFile(dir / "fits.xls");
    ASSERT_TRUE(written.ok());
    size_t size = 0;
    for (const auto& s : *written)
        if (s.path == "Workbook") size = s.data.size();
    ASSERT_GT(size, 100000u);

    // Just over the page's own size: refused, and the file already at the
    // destination is left as it was. With a little room it is written.
    writeFile(dir / "page.xls", "earlier page");
    EXPECT_TRUE(failsWith(
        xls::writePage(**impl, dir / "page.xls", {"甲", "乙", "丙", "丁"}, cells, 4, size - 1),
        err::kTooManyRows, "减少每页的行数"));
    EXPECT_EQ(readFile(dir / "page.xls"), "earlier page");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 3);
    EXPECT_TRUE(
        xls::writePage(**impl, dir / "page.xls", {"甲"}, cells, 4, size + size / 100 + 1024).ok());
}

}  // namespace
}  // namespace tabrovin::testing
