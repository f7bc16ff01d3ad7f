// The shared string table of a page of many distinct texts: CONTINUE splits
// where Excel expects them, EXTSST pointing at the right strings, equal texts
// stored once.

#include <random>
#include <set>

#include "tests/xlswriter/readers.h"

namespace tabrovin::testing {
namespace {

using xls::u16;
using xls::u32;

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
    EXPECT_GT(std::count_if(recs.begin(), recs.end(),
                            [](const RawRecord& r) { return r.type == xls::rec::kContinue; }),
              20);
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
    std::string why;
    auto book = readBook(dir / "many.xls", &why);
    ASSERT_TRUE(book) << why;
    EXPECT_TRUE((*book)[0].rows == rows) << "xlrd";
    EXPECT_TRUE(readWithFreeXl(dir / "many.xls") == rows) << "FreeXL";
}

}  // namespace
}  // namespace tabrovin::testing
