// The shared string table of a page with many distinct texts: CONTINUE splits
// where Excel expects them, EXTSST pointing at the right strings, equal texts
// stored once.

#include <random>
#include <set>

#include "tests/xlswriter/readers.h"

namespace tabrovin::testing {
namespace {

using xls::u16;
using xls::u32;

struct SstLayout {
    uint32_t total = 0, unique = 0;
    std::vector<size_t> start;     // stream position of each string
    std::vector<size_t> inRecord;  // its offset in its record, header included
    std::vector<std::u16string> text;
    std::string problem;  // the first rule broken, if any
};

// Walks the SST by the rules alone: headers whole in one record, character
// data split only between characters (never inside a surrogate pair) with a
// flags byte after each split.
SstLayout walkSst(const std::vector<RawRecord>& recs) {
    SstLayout out;
    const RawRecord* sst = findRecord(recs, xls::rec::kSst);
    if (!sst) return out.problem = "no SST", out;
    size_t seg = sst - recs.data(), pos = 8;
    out.total = u32(recs[seg].data, 0);
    out.unique = u32(recs[seg].data, 4);
    auto left = [&] { return recs[seg].data.size() - pos; };
    auto next = [&] {
        pos = 0;
        return ++seg < recs.size() && recs[seg].type == xls::rec::kContinue;
    };
    for (uint32_t k = 0; k < out.unique; ++k) {
        if (left() == 0 && !next()) return out.problem = "SST ends early", out;
        if (left() < 3) return out.problem = "string header split", out;
        uint16_t cch = u16(recs[seg].data, pos);
        uint8_t flags = recs[seg].data[pos + 2];
        if (flags & 0x0C) return out.problem = "unexpected rich text", out;
        out.start.push_back(recs[seg].offset + 4 + pos);
        out.inRecord.push_back(pos + 4);
        pos += 3;
        std::u16string s;
        for (bool wide = flags & 1; s.size() < cch;) {
            if (left() == 0) {
                if (!next()) return out.problem = "SST ends inside a string", out;
                if (recs[seg].data[pos] > 1) return out.problem = "no flags byte", out;
                if (!s.empty() && (s.back() & 0xFC00) == 0xD800)
                    return out.problem = "pair split", out;
                wide = recs[seg].data[pos++];
            }
            if (wide && left() == 1) return out.problem = "character split", out;
            s.push_back(wide ? u16(recs[seg].data, pos) : recs[seg].data[pos]);
            pos += wide ? 2 : 1;
        }
        out.text.push_back(std::move(s));
    }
    return out;
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
    Status s = blankTemplate(dir.path()).write(dir / "many.xls", {"文本", "重复"}, rows);
    ASSERT_TRUE(s.ok()) << s.error().description;
    auto recs = workbookRecords(dir / "many.xls");
    SstLayout sst = walkSst(recs);
    ASSERT_EQ(sst.problem, "");
    size_t continues = 0;
    for (const auto& r : recs) continues += r.type == xls::rec::kContinue;
    EXPECT_GT(continues, 20u);
    EXPECT_EQ(sst.unique, 2u + 12000u + 10u) << "equal texts are stored once";
    EXPECT_EQ(sst.total, 2u + 24000u);
    EXPECT_EQ(std::set<std::u16string>(sst.text.begin(), sst.text.end()).size(), sst.unique);

    // EXTSST: every bucket's first string, by stream position and record offset.
    const RawRecord* ext = findRecord(recs, xls::rec::kExtSst);
    ASSERT_TRUE(ext);
    size_t bucket = u16(ext->data, 0), entries = (ext->data.size() - 2) / 8;
    ASSERT_GE(bucket, 8u);
    EXPECT_EQ(entries, (sst.unique + bucket - 1) / bucket);
    EXPECT_LE(entries, 128u);
    for (size_t k = 0; k < entries; ++k) {
        EXPECT_EQ(u32(ext->data, 2 + 8 * k), sst.start[k * bucket]) << k;
        EXPECT_EQ(u16(ext->data, 6 + 8 * k), sst.inRecord[k * bucket]) << k;
    }

    rows.insert(rows.begin(), {"文本", "重复"});
    std::string why;
    auto book = readBook(dir / "many.xls", &why);
    ASSERT_TRUE(book) << why;
    EXPECT_TRUE((*book)[0].rows == rows) << "xlrd";
    auto fx = readWithFreeXl(dir / "many.xls");
    ASSERT_TRUE(fx) << "FreeXL refuses the page";
    EXPECT_TRUE((*fx)[0].rows == rows) << "FreeXL";
}

}  // namespace
}  // namespace tabrovin::testing
