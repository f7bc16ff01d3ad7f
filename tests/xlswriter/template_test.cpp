// A formatted template with a second sheet keeps everything of its own while
// the page goes into its first sheet, and the records that point into the
// stream (BOUNDSHEET, INDEX, DBCELL, DIMENSIONS) agree with where things are.

#include <set>

#include "tests/xlswriter/readers.h"

namespace tabrovin::testing {
namespace {

namespace fs = std::filesystem;
using xls::u16;
using xls::u32;
namespace rec = xls::rec;

// Bold row-1 cell, a cell beyond the headings, content below (a template
// string, a formatted number, a merged range, a styled blank run), a wide
// column and a second sheet of 300 strings, one shared with row 1.
const char* kMakeTemplate = R"(
import sys, xlwt
w = xlwt.Workbook(encoding="utf-8")
s = w.add_sheet("数据")
bold = xlwt.easyxf("font: bold on")
s.write(0, 0, "旧标题", bold)
s.write(0, 5, "保留")
s.write(1, 0, "模板7")
s.write(2, 1, 3.14159, xlwt.easyxf(num_format_str="0.00"))
s.write_merge(3, 3, 0, 2, "合并")
for c in range(3, 6): s.write(4, c, None, bold)
s.col(1).width = 256 * 30
o = w.add_sheet("说明")
for i in range(300): o.write(i, 0, "模板%d" % i)
o.write(300, 0, "旧标题")
w.save(sys.argv[1])
)";

// Formats that xlrd reports only when asked, for a page of 100 rows.
const char* kCheckFormatting = R"(
import sys, xlrd
b = xlrd.open_workbook(sys.argv[1], formatting_info=True)
s, o, n = b.sheet_by_index(0), b.sheet_by_index(1), 100
def font(r, c): return b.font_list[b.xf_list[s.cell_xf_index(r, c)].font_index]
def fmt(r, c): return b.format_map[b.xf_list[s.cell_xf_index(r, c)].format_key].format_str
assert b.sheet_names() == ["数据", "说明"], "sheet names"
assert font(0, 0).bold == 1 and font(0, 1).bold == 0, "headings take their cell's format"
assert fmt(2 + n, 1) == "0.00", "number format moved"
assert (3 + n, 4 + n, 0, 3) in s.merged_cells, "merge moved"
assert s.cell_type(4 + n, 4) == xlrd.XL_CELL_BLANK and font(4 + n, 4).bold, "styled blanks moved"
assert s.colinfo_map[1].width == 256 * 30, "column width"
assert [o.cell_value(i, 0) for i in range(301)] == ["模板%d" % i for i in range(300)] + ["旧标题"]
)";

class FormattedTemplate : public ::testing::Test {
  protected:
    void SetUp() override {
        CommandResult made = runPython(kMakeTemplate, shellQuote((dir_ / "模板.xls").string()));
        ASSERT_EQ(made.exitCode, 0) << made.output;
        auto t = xls::ExportTemplate::load(dir_ / "模板.xls");
        ASSERT_TRUE(t.ok()) << textOf(t);
        template_ = *t;
        rows_[10].assign(2, "");  // a page row with nothing in it
        ASSERT_TRUE(template_->write(out_, {"A", "B"}, rows_).ok());
    }
    TempDir dir_;
    std::optional<xls::ExportTemplate> template_;
    fs::path out_ = dir_ / "out.xls";
    Grid rows_ = gridOf(100, 2);
};

TEST_F(FormattedTemplate, KeepsFormatsStringsAndSecondSheetAndMovesRowsBelowThePage) {
    CommandResult formats = runPython(kCheckFormatting, shellQuote(out_.string()));
    EXPECT_EQ(formats.exitCode, 0) << formats.output;
    Grid want = rows_;
    want[10].clear();
    want.insert(want.begin(), {"A", "B", "", "", "", "保留"});
    want.insert(want.end(), {{"模板7"}, {"", "3.14159"}, {"合并"}});
    auto book = readBook(out_);
    ASSERT_TRUE(book && book->size() == 2);
    EXPECT_EQ((*book)[0].rows, want) << "xlrd leaves out styled blanks unless asked for formats";
    want[102].clear();  // FreeXL reads texts only, but sees the styled blanks' row
    want.emplace_back();
    EXPECT_EQ(readWithFreeXl(out_), want);
    // Every page starts from the untouched template.
    ASSERT_TRUE(template_->write(dir_ / "p2.xls", {"乙"}, {{"一"}}).ok());
    auto p2 = readBook(dir_ / "p2.xls");
    EXPECT_TRUE(
        p2 &&
        (*p2)[0].rows ==
            Grid({{"乙", "", "", "", "", "保留"}, {"一"}, {"模板7"}, {"", "3.14159"}, {"合并"}}));
}

TEST_F(FormattedTemplate, PointersIntoTheStreamFindEverySheetBlockRowAndCell) {
    auto recs = workbookRecords(out_);
    std::map<size_t, const RawRecord*> at;
    for (const auto& r : recs) at[r.offset] = &r;
    auto is = [&](size_t pos, uint16_t type) { return at.count(pos) && at[pos]->type == type; };
    std::vector<uint32_t> sheets;
    for (const auto& r : recs)
        if (r.type == rec::kBoundSheet) sheets.push_back(u32(r.data, 0));
    ASSERT_EQ(sheets.size(), 2u);
    for (uint32_t s : sheets) EXPECT_TRUE(is(s, rec::kBof) && u16(at[s]->data, 2) == 0x10) << s;
    // INDEX -> DBCELLs -> ROW records -> the first cell of each row.
    const RawRecord* index = findRecord(recs, rec::kIndex);
    ASSERT_TRUE(index);
    EXPECT_EQ(u32(index->data, 8), 105u) << "one past the last row";
    EXPECT_TRUE(is(u32(index->data, 12), 0x0055)) << "ibXF names DEFCOLWIDTH";
    std::set<uint16_t> rowsSeen;
    for (size_t b = 16; b + 4 <= index->data.size(); b += 4) {
        size_t pos = u32(index->data, b);
        ASSERT_TRUE(is(pos, rec::kDbCell)) << b;
        const auto& db = at[pos]->data;
        // The first offset counts from the second ROW, the others from the cell before.
        size_t firstRow = pos - u32(db, 0), cell = firstRow + 20;
        for (size_t k = 0, row = firstRow; 4 + 2 * k < db.size(); ++k, row += 20) {
            cell += u16(db, 4 + 2 * k);
            ASSERT_TRUE(is(row, rec::kRow) && at.count(cell)) << b << "/" << k;
            EXPECT_EQ(u16(at[cell]->data, 0), u16(at[row]->data, 0)) << "first cell of the row";
            rowsSeen.insert(u16(at[row]->data, 0));
        }
    }
    std::set<uint16_t> want;
    for (uint16_t r = 0; r <= 104; ++r)
        if (r != 11) want.insert(r);  // the empty page row gets no ROW record
    EXPECT_EQ(rowsSeen, want);
    const RawRecord* dims = findRecord(recs, rec::kDimensions);
    ASSERT_TRUE(dims);
    EXPECT_EQ(std::vector<size_t>({u32(dims->data, 0), u32(dims->data, 4), u16(dims->data, 8),
                                   u16(dims->data, 10)}),
              std::vector<size_t>({0, 105, 0, 6}));
}

TEST_F(FormattedTemplate, TemplateRowsPushedPastTheLastRowAreRefused) {
    EXPECT_EQ(numberOf(template_->write(dir_ / "no.xls", {"h"}, gridOf(65532, 1))),
              err::kTooManyRows);
    EXPECT_FALSE(fs::exists(dir_ / "no.xls"));
    EXPECT_TRUE(template_->write(dir_ / "fits.xls", {"h"}, gridOf(65531, 1)).ok());
}

}  // namespace
}  // namespace tabrovin::testing
