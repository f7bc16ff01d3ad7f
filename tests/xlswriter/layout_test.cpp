// A formatted template keeps everything of its own around the page; the records
// that point into the stream and the shared string table are laid out as Excel expects.

#include <algorithm>
#include <random>
#include <set>

#include "tests/xlswriter/readers.h"

namespace tabrovin::testing {
namespace {

using xls::u16;
using xls::u32;
namespace rec = xls::rec;

// Bold row-1 cells (a text and a run of styled blanks that a heading lands
// on), a cell beyond the headings, content below (a template
// string, a formatted number, a merged range, a styled blank run), a wide
// column and a second sheet of 300 strings, one shared with row 1.
const char* kMakeTemplate = R"(
import sys, xlwt
w, bold = xlwt.Workbook(encoding="utf-8"), xlwt.easyxf("font: bold on")
s = w.add_sheet("数据")
s.write(0, 0, "旧标题", bold); s.write(0, 5, "保留"); s.write(1, 0, "模板7")
for c in range(1, 4): s.write(0, c, None, bold)
s.write(2, 1, 3.14159, xlwt.easyxf(num_format_str="0.00"))
s.write_merge(3, 3, 0, 2, "合并"); s.col(1).width = 256 * 30
for c in range(3, 6): s.write(4, c, None, bold)
o = w.add_sheet("说明")
for i, text in enumerate(["模板%d" % i for i in range(300)] + ["旧标题"]): o.write(i, 0, text)
w.save(sys.argv[1])
)";

// Formats that xlrd reports only when asked, for a page of 100 rows.
const char* kCheckFormatting = R"(
import sys, xlrd
b = xlrd.open_workbook(sys.argv[1], formatting_info=True)
s, o, n = b.sheet_by_index(0), b.sheet_by_index(1), 100
def font(r, c): return b.font_list[b.xf_list[s.cell_xf_index(r, c)].font_index]
assert b.sheet_names() == ["数据", "说明"], "sheet names"
assert font(0, 0).bold and font(0, 1).bold and not font(0, 4).bold, "headings take their cell's"
assert s.cell_type(0, 2) == xlrd.XL_CELL_BLANK and font(0, 3).bold, "the rest of the run stays"
assert b.format_map[b.xf_list[s.cell_xf_index(2 + n, 1)].format_key].format_str == "0.00"
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
        ASSERT_TRUE(t.ok()) << t.error().description;
        template_ = *t;
        rows_[10].assign(2, "");  // a page row with nothing in it
        ASSERT_TRUE(template_->write(out_, {"A", "B"}, rows_).ok());
    }
    TempDir dir_;
    std::optional<xls::ExportTemplate> template_;
    std::filesystem::path out_ = dir_ / "out.xls";
    Grid rows_ = gridOf(100, 2);
};

TEST_F(FormattedTemplate, KeepsItsOwnAndMovesRowsBelowThePage) {
    CommandResult formats = runPython(kCheckFormatting, shellQuote(out_.string()));
    EXPECT_EQ(formats.exitCode, 0) << formats.output;
    Grid want = rows_;
    want[10].clear();
    want.insert(want.begin(), {"A", "B", "", "", "", "保留"});
    want.insert(want.end(), {{"模板7"}, {"", "3.14159"}, {"合并"}});
    // xlrd leaves out styled blanks unless asked for formats.
    EXPECT_EQ(readBook(out_).value().at(0), ReadSheet({"数据", want}));
    // Every page starts from the untouched template.
    ASSERT_TRUE(template_->write(dir_ / "p2.xls", {"乙"}, {{"一"}}).ok());
    EXPECT_EQ(readBook(dir_ / "p2.xls").value().at(0).rows,
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
    EXPECT_TRUE(rowsSeen.size() == 104 && *rowsSeen.rbegin() == 104 && !rowsSeen.count(11))
        << "rows 0 to 104, but none for the empty page row";
    const RawRecord* dims = findRecord(recs, rec::kDimensions);
    ASSERT_TRUE(dims);
    EXPECT_EQ(dims->data, std::vector<uint8_t>({0, 0, 0, 0, 105, 0, 0, 0, 0, 0, 6, 0, 0, 0}));
}

// LibreOffice's own .xls: C3:C12 and E1:E12 shared formulas, conditional formats to
// the end of the sheet (A, B) and on D30:D40, below every cell.
const char* kSharedAndWholeColumns = R"(
import sys, openpyxl
from openpyxl.formatting.rule import CellIsRule
from openpyxl.styles import PatternFill
w = openpyxl.Workbook(); s = w.active; s["H1"] = "keep"
for r in range(3, 13): s.cell(r, 2, r - 2); s.cell(r, 3, "=B%d*2" % r)
for r in range(1, 13): s.cell(r, 5, "=B%d*3" % r)
for ref in ("A1:A65536", "B3:B65536", "D30:D40"):
    s.conditional_formatting.add(ref, CellIsRule(operator="greaterThan", formula=["5"],
                                 fill=PatternFill(bgColor="FF0000", fill_type="solid")))
w.save(sys.argv[1])
)";

const char* kCheckMoved = R"(
import sys, openpyxl
s = openpyxl.load_workbook(sys.argv[1]).active
got = [s.cell(r, 3).value for r in range(1003, 1013)]
assert got == ["=B%d*2" % r for r in range(1003, 1013)], got
got = [s.cell(r, 5).value for r in [1] + list(range(1002, 1013))]
assert got == ["=B%d*3" % r for r in [1] + list(range(1002, 1013))], got
ranges = sorted(str(r.sqref) for r in s.conditional_formatting)
assert ranges[0].startswith("A1:A") and ranges[1].startswith("B1003:B"), ranges
assert int(ranges[0][4:]) >= 65536 and int(ranges[1][7:]) >= 65536 and ranges[2] == "D1030:D1040"
)";

TEST(MovedTemplate, SharedFormulasAndRangesToTheEndSurviveAndStartsPastItAreRefused) {
    TempDir dir;
    ASSERT_EQ(runPython(kSharedAndWholeColumns, shellQuote((dir / "t.xlsx").string())).exitCode, 0);
    auto t = xls::ExportTemplate::load(convertWithLibreOffice(dir / "t.xlsx", "xls", dir.path()));
    ASSERT_TRUE(t.ok()) << t.error().description;
    ASSERT_TRUE(t->write(dir / "page.xls", {"h"}, gridOf(1000, 1)).ok());
    std::filesystem::create_directory(dir / "back");
    auto back = convertWithLibreOffice(dir / "page.xls", "xlsx", dir / "back");
    CommandResult moved = runPython(kCheckMoved, shellQuote(back.string()));
    EXPECT_EQ(moved.exitCode, 0) << moved.output;
    std::set<std::array<uint16_t, 2>> shared;  // first and last rows
    for (const auto& r : workbookRecords(dir / "page.xls"))
        if (r.type == 0x04BC) shared.insert({u16(r.data, 0), u16(r.data, 2)});
    EXPECT_EQ(shared, (std::set<std::array<uint16_t, 2>>{{0, 1011}, {1002, 1011}}));
    // D30 pushed onto the last row still fits, its end cut there; one row more does not.
    ASSERT_TRUE(t->write(dir / "full.xls", {"h"}, gridOf(65506, 1)).ok());
    std::vector<std::array<uint16_t, 2>> condRows;
    for (const auto& r : workbookRecords(dir / "full.xls"))
        if (r.type == 0x01B0) condRows.push_back({u16(r.data, 14), u16(r.data, 16)});
    EXPECT_EQ(condRows, (std::vector<std::array<uint16_t, 2>>{
                            {0, 0xFFFF}, {65508, 0xFFFF}, {0xFFFF, 0xFFFF}}));
    EXPECT_TRUE(failsWith(t->write(dir / "no.xls", {"h"}, gridOf(65507, 1)), err::kTooManyRows,
                          "第 30 行"));
    EXPECT_FALSE(std::filesystem::exists(dir / "no.xls"));
}

struct SstString {
    size_t start, inRecord;  // in the stream, and in its record with the header
    std::u16string text;
};

// Walks the SST by the rules alone: string headers whole in one record,
// character data split only between characters (never inside a surrogate
// pair) with a flags byte after each split. Returns the first rule broken.
std::string walkSst(const std::vector<RawRecord>& recs, std::vector<SstString>& out) {
    const RawRecord* sst = findRecord(recs, xls::rec::kSst);
    if (!sst) return "no SST";
    size_t seg = sst - recs.data(), pos = 8;
    auto left = [&] { return recs[seg].data.size() - pos; };
    auto next = [&] {
        pos = 0;
        return ++seg < recs.size() && recs[seg].type == xls::rec::kContinue;
    };
    for (uint32_t k = 0; k < u32(sst->data, 4); ++k) {
        if (left() == 0 && !next()) return "SST ends early";
        if (left() < 3 || (recs[seg].data[pos + 2] & 0x0C)) return "header split, or rich text";
        SstString& s = out.emplace_back(SstString{recs[seg].offset + 4 + pos, pos + 4, {}});
        size_t length = u16(recs[seg].data, pos);
        bool wide = recs[seg].data[pos + 2] & 1;
        for (pos += 3; s.text.size() < length; pos += wide ? 2 : 1) {
            if (left() == 0) {
                if (!next()) return "SST ends inside a string";
                if (recs[seg].data[pos] > 1) return "no flags byte after a split";
                if (!s.text.empty() && (s.text.back() & 0xFC00) == 0xD800) return "pair split";
                wide = recs[seg].data[pos++];
            }
            if (wide && left() == 1) return "character split";
            s.text.push_back(wide ? u16(recs[seg].data, pos) : recs[seg].data[pos]);
        }
    }
    return "";
}

TEST(Sst, ManyDistinctTextsSplitByTheRulesAndReadBack) {
    // Random lengths, ASCII, Latin-1 and CJK with emoji mixed, so that string
    // starts and splits fall at every kind of place in the records.
    std::mt19937 rng(42);
    const char* pieces[] = {"a", "Z", "é", "中", "文", "😀", "0"};
    Grid rows;
    for (size_t i = 0; i < 12000; ++i) {
        std::string s = std::to_string(i) + ":";
        size_t len = rng() % (i % 97 == 0 ? 3000 : 40), kind = rng() % 3;
        for (size_t k = 0; k < len; ++k) s += pieces[rng() % (kind == 0 ? 2 : kind == 1 ? 3 : 7)];
        rows.push_back({s, "重复" + std::to_string(i % 10)});
    }
    TempDir dir;
    ASSERT_TRUE(blankTemplate(dir.path()).write(dir / "many.xls", {"文本", "重复"}, rows).ok());
    auto recs = workbookRecords(dir / "many.xls");
    std::vector<SstString> sst;
    ASSERT_EQ(walkSst(recs, sst), "");
    EXPECT_GT(std::ranges::count(recs, xls::rec::kContinue, &RawRecord::type), 20);
    EXPECT_EQ(sst.size(), 2u + 12000u + 10u) << "equal texts are stored once";
    std::set<std::u16string> distinct;
    for (const auto& s : sst) EXPECT_TRUE(distinct.insert(s.text).second);
    EXPECT_EQ(u32(findRecord(recs, xls::rec::kSst)->data, 0), 2u + 24000u) << "cells in all";

    // EXTSST: every bucket's first string, by stream position and record offset.
    const RawRecord* ext = findRecord(recs, xls::rec::kExtSst);
    ASSERT_TRUE(ext);
    size_t bucket = u16(ext->data, 0), entries = (ext->data.size() - 2) / 8;
    ASSERT_GE(bucket, 8u);
    EXPECT_EQ(entries, (sst.size() + bucket - 1) / bucket);
    EXPECT_LE(entries, 128u);
    for (size_t k = 0; k < entries; ++k) {
        EXPECT_EQ(u32(ext->data, 2 + 8 * k), sst[k * bucket].start) << k;
        EXPECT_EQ(u16(ext->data, 6 + 8 * k), sst[k * bucket].inRecord) << k;
    }
    rows.insert(rows.begin(), {"文本", "重复"});
    EXPECT_TRUE(readBook(dir / "many.xls") == ReadBook({{"Sheet1", rows}})) << "xlrd";
}

}  // namespace
}  // namespace tabrovin::testing
