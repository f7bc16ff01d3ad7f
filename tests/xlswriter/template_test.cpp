// A formatted template with a second sheet keeps everything of its own while
// the page goes into its first sheet.

#include <gtest/gtest.h>

#include "tests/support/test_support.h"
#include "tests/xlswriter/readers.h"

namespace tabrovin::testing {
namespace {

namespace fs = std::filesystem;

// Bold row-1 cell, a cell beyond the headings, moved content below (text,
// a formatted number, a merged range, a styled blank run), a wide column and
// a second sheet sharing a string with the first.
const char* kMakeTemplate = R"(
import sys, xlwt
w = xlwt.Workbook(encoding="utf-8")
s = w.add_sheet("数据")
bold = xlwt.easyxf("font: bold on")
num = xlwt.easyxf(num_format_str="0.00")
s.write(0, 0, "旧标题", bold)
s.write(0, 5, "保留")
s.write(1, 0, "模板第二行")
s.write(2, 1, 3.14159, num)
s.write_merge(3, 3, 0, 2, "合并")
for c in range(3, 6): s.write(4, c, None, bold)
s.col(1).width = 256 * 30
o = w.add_sheet("说明")
o.write(0, 0, "第二页文字")
o.write(1, 0, "旧标题")
w.save(sys.argv[1])
)";

const char* kCheckFormatting = R"(
import sys, xlrd
b = xlrd.open_workbook(sys.argv[1], formatting_info=True)
s = b.sheet_by_index(0)
def font(r, c): return b.font_list[b.xf_list[s.cell_xf_index(r, c)].font_index]
def fmt(r, c): return b.format_map[b.xf_list[s.cell_xf_index(r, c)].format_key].format_str
n = int(sys.argv[2])
checks = {
  "names": b.sheet_names() == ["数据", "说明"],
  "heading bold": font(0, 0).bold == 1 and s.cell_value(0, 0) == "A",
  "second heading plain": font(0, 1).bold == 0,
  "number moved": s.cell_value(2 + n, 1) == 3.14159 and fmt(2 + n, 1) == "0.00",
  "merge moved": (3 + n, 4 + n, 0, 3) in s.merged_cells and s.cell_value(3 + n, 0) == "合并",
  "styled blanks moved": s.cell_type(4 + n, 4) == xlrd.XL_CELL_BLANK and font(4 + n, 4).bold == 1,
  "column width": s.colinfo_map[1].width == 256 * 30,
  "second sheet": b.sheet_by_index(1).cell_value(0, 0) == "第二页文字"
                  and b.sheet_by_index(1).cell_value(1, 0) == "旧标题",
}
bad = [k for k, v in checks.items() if not v]
print("OK" if not bad else "FAILED: " + ", ".join(bad))
)";

class TemplateTest : public ::testing::Test {
  protected:
    void SetUp() override {
        templatePath_ = dir_ / "格式模板.xls";
        CommandResult made = runPython(kMakeTemplate, shellQuote(templatePath_.string()));
        ASSERT_EQ(made.exitCode, 0) << made.output;
        auto t = xls::ExportTemplate::load(templatePath_);
        ASSERT_TRUE(t.ok()) << t.error().description;
        out_ = dir_ / "out.xls";
        Status s = t->write(out_, {"A", "B"}, rows_);
        ASSERT_TRUE(s.ok()) << s.error().description;
    }
    TempDir dir_;
    fs::path templatePath_, out_;
    std::vector<std::vector<std::string>> rows_ = gridOf(3, 2);
};

TEST_F(TemplateTest, FormatsSheetsAndStringsOfTheTemplateStay) {
    CommandResult r = runPython(kCheckFormatting, shellQuote(out_.string()) + " 3");
    EXPECT_EQ(r.output, "OK\n");
}

TEST_F(TemplateTest, TemplateRowsMoveBelowThePage) {
    auto book = readWithXlrd(out_);
    ASSERT_TRUE(book);
    const ReadSheet& s = (*book)[0];
    EXPECT_EQ(s.at(0, 0), "A");
    EXPECT_EQ(s.at(0, 1), "B");
    EXPECT_EQ(s.at(0, 5), "保留") << "row-1 cells beyond the headings stay";
    for (size_t r = 0; r < 3; ++r)
        for (size_t c = 0; c < 2; ++c) EXPECT_EQ(s.at(r + 1, c), rows_[r][c]);
    EXPECT_EQ(s.at(4, 0), "模板第二行");
    EXPECT_EQ(s.at(5, 1), "3.14159");
    EXPECT_EQ(s.at(6, 0), "合并");
    EXPECT_EQ(s.rows, 7u) << "xlrd leaves out the styled blanks of row 8 unless asked for formats";
}

TEST_F(TemplateTest, FreeXlAndLibreOfficeSeeTheSameBook) {
    std::string why;
    auto book = readWithFreeXl(out_, &why);
    ASSERT_TRUE(book) << why;
    ASSERT_EQ(book->size(), 2u);
    EXPECT_EQ((*book)[0].at(0, 0), "A");
    EXPECT_EQ((*book)[0].at(4, 0), "模板第二行");
    EXPECT_EQ((*book)[1].at(1, 0), "旧标题");
    auto csv = readWithLibreOffice(out_, dir_.path());
    ASSERT_TRUE(csv);
    ASSERT_GE(csv->size(), 7u);
    EXPECT_EQ((*csv)[0][0], "A");
    EXPECT_EQ((*csv)[0][5], "保留");
    EXPECT_EQ((*csv)[3][1], rows_[2][1]);
    EXPECT_EQ((*csv)[4][0], "模板第二行");
    EXPECT_EQ((*csv)[5][1], "3.14");
    EXPECT_EQ((*csv)[6][0], "合并");
}

TEST_F(TemplateTest, EveryPageStartsFromTheUntouchedTemplate) {
    auto t = xls::ExportTemplate::load(templatePath_);
    ASSERT_TRUE(t.ok());
    ASSERT_TRUE(t->write(dir_ / "p1.xls", {"甲"}, gridOf(50, 3, "一")).ok());
    ASSERT_TRUE(t->write(dir_ / "p2.xls", {"乙"}, gridOf(1, 1, "二")).ok());
    auto book = readWithXlrd(dir_ / "p2.xls");
    ASSERT_TRUE(book);
    const ReadSheet& s = (*book)[0];
    EXPECT_EQ(s.at(0, 0), "乙");
    EXPECT_EQ(s.at(1, 0), "r0c0二");
    EXPECT_EQ(s.at(2, 0), "模板第二行");
    EXPECT_EQ(s.rows, 5u);
}

TEST(TemplateLimits, TemplateRowsPushedPastTheLastRowAreRefused) {
    TempDir dir;
    fs::path tpl = dir / "deep.xls";
    CommandResult made = runPython(
        "import sys, xlwt\nw = xlwt.Workbook()\ns = w.add_sheet('a')\ns.write(65000, 0, 'end')\n"
        "w.save(sys.argv[1])\n",
        shellQuote(tpl.string()));
    ASSERT_EQ(made.exitCode, 0) << made.output;
    auto t = xls::ExportTemplate::load(tpl);
    ASSERT_TRUE(t.ok()) << t.error().description;
    Status refused = t->write(dir / "no.xls", {"h"}, gridOf(536, 1));
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.error().number, err::kTooManyRows);
    EXPECT_FALSE(fs::exists(dir / "no.xls"));
    ASSERT_TRUE(t->write(dir / "fits.xls", {"h"}, gridOf(535, 1)).ok());
    auto book = readWithXlrd(dir / "fits.xls");
    ASSERT_TRUE(book);
    EXPECT_EQ((*book)[0].at(65535, 0), "end") << "moved onto the very last row";
    EXPECT_EQ((*book)[0].at(535, 0), "r534c0");
}

}  // namespace
}  // namespace tabrovin::testing
