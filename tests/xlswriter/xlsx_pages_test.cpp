// .xlsx pages as our reader and openpyxl read them; a formatted
// template's parts kept and its rows moved; templates refused before any page.

#include "platform/sheets/xlsx_writer.h"
#include "tests/sheets/package_util.h"
#include "tests/xlswriter/readers.h"

namespace tabrovin::testing {
namespace {

namespace fs = std::filesystem;
using sheets::XlsxTemplate;

XlsxTemplate blankXlsx(const fs::path& dir) {
    EXPECT_TRUE(sheets::writeBlankXlsx(dir / "blank.xlsx").ok());
    return XlsxTemplate::load(dir / "blank.xlsx").value();
}

Grid trimmed(Grid g) {
    for (auto& row : g)
        while (!row.empty() && row.back().empty()) row.pop_back();
    while (!g.empty() && g.back().empty()) g.pop_back();
    return g;
}

std::vector<std::string> flat(const Grid& rows) {
    std::vector<std::string> cells;
    for (const auto& r : rows) cells.insert(cells.end(), r.begin(), r.end());
    return cells;
}

// Long texts are cut whole, bad UTF-8 is replaced, and NULs dropped.
TEST(XlsxPages, EveryReaderReadsTheTextsAsWritten) {
    TempDir dir;
    auto t = blankXlsx(dir.path());
    Grid want = {
        {"编号", "say \"hi\" <b> & ok", "Ünïcödé", "姓名"},
        {"110101199003077777", "line1\nline2", "crlf\r\nend", " leading \t trailing "},
        {"2", "", "_x0041_ stays", "bell\x07"},
        {"emoji 😀 ok", "a]]>b", "'quoted'", "0012"},
        {repeat("a", 32766) + "😀tail", repeat("中", 40000),
         "a\xff"
         "b\xe4\xb8",
         std::string("n\0ul", 4)},
    };
    ASSERT_TRUE(t.write(dir / "页.xlsx", want[0], flat({want.begin() + 1, want.end()}), 4).ok());
    want[4] = {repeat("a", 32766), repeat("中", 32767), "a\uFFFDb\uFFFD", "nul"};
    EXPECT_EQ(trimmed(readSheet(dir / "页.xlsx")), want) << "our reader";
    // XML cannot carry a bell, and a text that looks like an escape must be
    // escaped itself: Excel and LibreOffice decode the escapes, openpyxl shows them.
    Grid undecoded = want;
    undecoded[2][2] = "_x005F_x0041_ stays";
    undecoded[2][3] = "bell_x0007_";
    EXPECT_EQ(readBook(dir / "页.xlsx", "openpyxl"), ReadBook({{"Sheet1", undecoded}}));
}

TEST(XlsxPages, PagesStreamedInPiecesMatchOnePieceAndLimitsLeaveNoFile) {
    TempDir dir;
    auto t = blankXlsx(dir.path());
    // Enough cells for the worksheet to be deflated on its own thread.
    Grid rows = gridOf(30000, 3);
    auto page = t.begin(dir / "big.xlsx", {"a", "b", "c"}, 3, 30000);
    ASSERT_TRUE(page);
    auto cells = flat(rows);
    for (size_t at = 0; at < cells.size(); at += 3 * 7001)
        ASSERT_TRUE(
            (*page)
                ->add(std::span(cells).subspan(at, std::min<size_t>(3 * 7001, cells.size() - at)))
                .ok());
    EXPECT_TRUE(failsWith((*page)->add(std::span(cells).first(3)), err::kRefused));
    ASSERT_TRUE((*page)->finish().ok());
    rows.insert(rows.begin(), {"a", "b", "c"});
    EXPECT_EQ(readSheet(dir / "big.xlsx"), rows);

    auto partial = t.begin(dir / "short.xlsx", {"a"}, 1, 5);
    ASSERT_TRUE(partial);
    EXPECT_TRUE(failsWith((*partial)->add(std::span(cells).first(6)), err::kRefused))
        << "more rows than begun with";
    EXPECT_TRUE(failsWith((*partial)->finish(), err::kRefused));
    partial->reset();
    EXPECT_TRUE(failsWith(t.begin(dir / "over.xlsx", {"a"}, 1, sheets::kMaxXlsxPageRows + 1),
                          err::kTooManyRows));
    EXPECT_TRUE(failsWith(t.begin(dir / "wide.xlsx", {"a"}, 16385, 1), err::kRefused));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2)
        << "only the template and big.xlsx";
}

// A template as a user might format it in a spreadsheet program.
const char* kFormattedTemplate = R"(
import sys, openpyxl
from openpyxl.styles import Font
from openpyxl.workbook.defined_name import DefinedName
from openpyxl.formatting.rule import CellIsRule
from openpyxl.styles import PatternFill
w = openpyxl.Workbook(); s = w.active; s.title = "数据"
s["A1"] = "old"; s["A1"].font = Font(bold=True)
s["C1"] = "keep"; s["A3"] = "合计"; s["B3"] = "=1+1"
s.merge_cells("A4:B5")
s.column_dimensions["B"].width = 33
s.oddHeader.center.text = "页眉"
s.conditional_formatting.add("A2:A9", CellIsRule(operator="equal", formula=['"x"'], fill=PatternFill(bgColor="FF0000")))
w.defined_names.append(DefinedName("区域", attr_text="数据!$A$1:$B$2"))
o = w.create_sheet("说明"); o["A1"] = "other sheet"
w.save(sys.argv[1])
)";

const char* kCheckFormatted = R"(
import sys, openpyxl
w = openpyxl.load_workbook(sys.argv[1]); s = w["数据"]; n = int(sys.argv[2])
assert w.sheetnames == ["数据", "说明"], w.sheetnames
assert w["说明"]["A1"].value == "other sheet"
assert s["A1"].value == "h1" and s["A1"].font.bold, "heading takes A1's style"
assert s["B1"].value == "h2" and s["C1"].value == "keep"
assert s.cell(3 + n, 1).value == "合计" and s.cell(3 + n, 2).value == "=1+1", "row 3 moved"
assert [str(r) for r in s.merged_cells.ranges] == ["A%d:B%d" % (4 + n, 5 + n)]
assert abs(s.column_dimensions["B"].width - 33) < 0.01
assert s.oddHeader.center.text == "页眉"
cf = [str(r.sqref) for r in s.conditional_formatting]
assert cf == ["A%d:A%d" % (2 + n, 9 + n)], cf  # as inserting the rows at row 2 would
assert "区域" in [d.name for d in w.defined_names.definedName]
assert s.dimensions == "A1:C%d" % (5 + n), s.dimensions
print("ok")
)";

TEST(XlsxPages, AFormattedTemplateKeepsItsPartsAndItsRowsMoveBelowThePage) {
    TempDir dir;
    auto made = runPython(kFormattedTemplate, shellQuote((dir / "t.xlsx").string()));
    ASSERT_EQ(made.exitCode, 0) << made.output;
    auto t = XlsxTemplate::load(dir / "t.xlsx");
    ASSERT_TRUE(t) << t.error().description;
    Grid rows = gridOf(10, 2);
    ASSERT_TRUE(t->write(dir / "p.xlsx", {"h1", "h2"}, flat(rows), 2).ok());
    auto checked = runPython(kCheckFormatted, shellQuote((dir / "p.xlsx").string()) + " 10");
    EXPECT_EQ(checked.exitCode, 0) << checked.output;
    Grid read = readSheet(dir / "p.xlsx");
    ASSERT_GE(read.size(), 13u);
    EXPECT_EQ(read[1], Row({"r0c0", "r0c1", ""}));
    EXPECT_FALSE(convertWithLibreOffice(dir / "p.xlsx", "ods", dir.path()).empty())
        << "LibreOffice opens it too";
    // A template row pushed past the sheet's last row is refused.
    EXPECT_TRUE(failsWith(t->begin(dir / "x.xlsx", {"h"}, 1, sheets::kMaxXlsxPageRows - 1),
                          err::kTooManyRows));
}

// Each would make every page unreadable.
TEST(XlsxPages, TemplatesThatCannotServeAreRefused) {
    TempDir dir;
    ASSERT_TRUE(sheets::writeBlankXlsx(dir / "blank.xlsx").ok());
    std::string whole = readFile(dir / "blank.xlsx");
    writeFile(dir / "cut.xlsx", whole.substr(0, whole.size() / 2));
    EXPECT_FALSE(XlsxTemplate::load(dir / "cut.xlsx").ok());
    writePackage(dir / "word.xlsx", {{"word/document.xml", "<w:document/>"}});
    EXPECT_TRUE(failsWith(XlsxTemplate::load(dir / "word.xlsx"), err::kNotWorkbook));
    writePackage(dir / "broken.xlsx", xlsxParts({"<worksheet><sheetData><row r=\"1\"><c"}));
    EXPECT_TRUE(failsWith(XlsxTemplate::load(dir / "broken.xlsx"), err::kDamagedWorkbook));
}

}  // namespace
}  // namespace tabrovin::testing
