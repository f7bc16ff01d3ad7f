// The records that point into the Workbook stream (BOUNDSHEET, INDEX,
// DBCELL) and DIMENSIONS agree with where things really are. Readers ignore
// most of these; Excel relies on them.

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "platform/xls/biff_record.h"
#include "tests/support/test_support.h"
#include "tests/xlswriter/readers.h"

namespace tabrovin::testing {
namespace {

using xls::u16;
using xls::u32;
namespace rec = xls::rec;

bool isCellRecord(uint16_t t) {
    return t == rec::kLabelSst || t == rec::kNumber || t == rec::kRk || t == rec::kBlank ||
           t == rec::kMulBlank || t == rec::kMulRk || t == rec::kFormula || t == rec::kLabel;
}

class CellTable : public ::testing::Test {
  protected:
    void SetUp() override {
        auto tpl = dir_ / "t.xls";
        CommandResult made = runPython(
            "import sys, xlwt\nw = xlwt.Workbook(encoding='utf-8')\n"
            "a = w.add_sheet('一')\nb = w.add_sheet('二')\n"
            "a.write(0, 3, '右')\na.write(2, 0, '下面')\na.write(40, 1, 5)\n"
            "b.write(0, 0, '二页')\nw.save(sys.argv[1])\n",
            shellQuote(tpl.string()));
        ASSERT_EQ(made.exitCode, 0) << made.output;
        auto t = xls::ExportTemplate::load(tpl);
        ASSERT_TRUE(t.ok()) << t.error().description;
        auto rows = gridOf(100, 3);
        rows[10].assign(3, "");  // a row with nothing in it
        ASSERT_TRUE(t->write(dir_ / "o.xls", {"a", "b"}, rows).ok());
        recs_ = workbookRecords(dir_ / "o.xls", &stream_);
        for (size_t i = 0; i < recs_.size(); ++i) byOffset_[recs_[i].offset] = i;
    }
    const RawRecord* at(size_t offset) const {
        auto it = byOffset_.find(offset);
        return it == byOffset_.end() ? nullptr : &recs_[it->second];
    }
    TempDir dir_;
    std::vector<uint8_t> stream_;
    std::vector<RawRecord> recs_;
    std::map<size_t, size_t> byOffset_;
};

TEST_F(CellTable, BoundSheetsPointAtTheirSheets) {
    std::vector<uint32_t> starts;
    for (const auto& r : recs_)
        if (r.type == rec::kBoundSheet) starts.push_back(u32(r.data, 0));
    ASSERT_EQ(starts.size(), 2u);
    for (uint32_t s : starts) {
        const RawRecord* bof = at(s);
        ASSERT_TRUE(bof && bof->type == rec::kBof) << s;
        EXPECT_EQ(u16(bof->data, 2), 0x0010);
    }
    auto book = readWithXlrd(dir_ / "o.xls");
    ASSERT_TRUE(book);
    EXPECT_EQ((*book)[1].at(0, 0), "二页");
}

TEST_F(CellTable, IndexAndDbCellsFindEveryRow) {
    auto index = std::find_if(recs_.begin(), recs_.end(),
                              [](const RawRecord& r) { return r.type == rec::kIndex; });
    ASSERT_NE(index, recs_.end());
    EXPECT_EQ(u32(index->data, 4), 0u);
    EXPECT_EQ(u32(index->data, 8), 141u) << "row 41 of the template moved down by 100";
    size_t blocks = (index->data.size() - 16) / 4;
    EXPECT_EQ(blocks, 5u) << "rows 0-31, 32-63, 64-95, 96-102, 140";
    std::set<uint16_t> rowsSeen;
    for (size_t b = 0; b < blocks; ++b) {
        size_t pos = u32(index->data, 16 + 4 * b);
        const RawRecord* db = at(pos);
        ASSERT_TRUE(db && db->type == rec::kDbCell) << b;
        size_t rowPos = pos - u32(db->data, 0);
        size_t count = (db->data.size() - 4) / 2;
        size_t cellPos = 0;
        for (size_t k = 0; k < count; ++k) {
            const RawRecord* row = at(rowPos + 20 * k);
            ASSERT_TRUE(row && row->type == rec::kRow) << b << "/" << k;
            cellPos = (k == 0 ? rowPos + 20 : cellPos) + u16(db->data, 4 + 2 * k);
            const RawRecord* cell = at(cellPos);
            ASSERT_TRUE(cell && isCellRecord(cell->type)) << b << "/" << k;
            EXPECT_EQ(u16(cell->data, 0), u16(row->data, 0)) << "first cell of its row";
            rowsSeen.insert(u16(row->data, 0));
        }
    }
    EXPECT_EQ(rowsSeen.count(11), 0u) << "the empty page row gets no ROW record";
    EXPECT_EQ(rowsSeen.count(102), 1u) << "template row 3 moved down";
    EXPECT_EQ(rowsSeen.size(), 1u + 99u + 2u);
    EXPECT_EQ(u16(stream_, u32(index->data, 12)), 0x0055) << "ibXF names DEFCOLWIDTH";
}

TEST_F(CellTable, DimensionsCoverEveryCell) {
    auto dims = std::find_if(recs_.begin(), recs_.end(),
                             [](const RawRecord& r) { return r.type == rec::kDimensions; });
    ASSERT_NE(dims, recs_.end());
    EXPECT_EQ(u32(dims->data, 0), 0u);
    EXPECT_EQ(u32(dims->data, 4), 141u);
    EXPECT_EQ(u16(dims->data, 8), 0u);
    EXPECT_EQ(u16(dims->data, 10), 4u) << "the template's D1 stays";
}

}  // namespace
}  // namespace tabrovin::testing
