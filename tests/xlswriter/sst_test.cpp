// The shared string table: CONTINUE splits where Excel expects them, EXTSST
// pointing at the right strings, equal texts stored once, and the counts.

#include <gtest/gtest.h>

#include <random>
#include <set>

#include "platform/xls/biff_record.h"
#include "tests/support/test_support.h"
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
// data split only between characters with a flags byte after each split.
SstLayout walkSst(const std::vector<RawRecord>& recs) {
    SstLayout out;
    size_t i = 0;
    while (i < recs.size() && recs[i].type != xls::rec::kSst) ++i;
    if (i == recs.size()) return out.problem = "no SST", out;
    out.total = u32(recs[i].data, 0);
    out.unique = u32(recs[i].data, 4);
    size_t seg = i, pos = 8;
    auto left = [&] { return recs[seg].data.size() - pos; };
    auto next = [&] {
        ++seg;
        pos = 0;
        return seg < recs.size() && recs[seg].type == xls::rec::kContinue;
    };
    for (uint32_t k = 0; k < out.unique; ++k) {
        if (left() == 0 && !next()) return out.problem = "SST ends early", out;
        const auto& d = recs[seg].data;
        if (left() < 3) return out.problem = "string header split", out;
        uint16_t cch = u16(d, pos);
        uint8_t flags = d[pos + 2];
        size_t header = 3 + (flags & 8 ? 2 : 0) + (flags & 4 ? 4 : 0);
        if (left() < header) return out.problem = "string header split", out;
        out.start.push_back(recs[seg].offset + 4 + pos);
        out.inRecord.push_back(pos + 4);
        if (flags & 0x0C) return out.problem = "unexpected rich text", out;
        pos += header;
        std::u16string s;
        bool wide = flags & 1;
        while (s.size() < cch) {
            if (left() == 0) {
                if (!next()) return out.problem = "SST ends inside a string", out;
                uint8_t f = recs[seg].data[pos++];
                if (f > 1) return out.problem = "continuation without flags byte", out;
                if (!s.empty() && (s.back() & 0xFC00) == 0xD800)
                    return out.problem = "surrogate pair split", out;
                wide = f;
            }
            if (wide && left() == 1) return out.problem = "character split", out;
            const auto& dd = recs[seg].data;
            s.push_back(wide ? u16(dd, pos) : dd[pos]);
            pos += wide ? 2 : 1;
        }
        out.text.push_back(std::move(s));
    }
    return out;
}

std::u16string utf16(const std::string& utf8) {
    std::u16string out;
    for (size_t i = 0; i < utf8.size();) {
        unsigned char b = utf8[i];
        int n = b < 0x80 ? 0 : b < 0xE0 ? 1 : b < 0xF0 ? 2 : 3;
        char32_t c = n == 0 ? b : b & (0x3F >> n);
        for (int k = 1; k <= n; ++k) c = (c << 6) | (utf8[i + k] & 0x3F);
        i += n + 1;
        if (c > 0xFFFF) {
            out.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
    }
    return out;
}

// Distinct texts of random length, Latin-1 and CJK mixed, so that string
// starts and splits fall at every kind of place in the records.
std::vector<std::vector<std::string>> manyTexts(size_t count) {
    std::mt19937 rng(42);
    std::vector<std::vector<std::string>> rows;
    const char* pieces[] = {"a", "Z", "é", "中", "文", "😀", "0"};
    for (size_t i = 0; i < count; ++i) {
        std::string s = std::to_string(i) + ":";
        size_t len = rng() % (i % 97 == 0 ? 3000 : 40);
        int kind = rng() % 3;  // ASCII only, Latin-1, or with CJK
        for (size_t k = 0; k < len; ++k) s += pieces[rng() % (kind == 0 ? 2 : kind == 1 ? 3 : 7)];
        rows.push_back({s, "重复" + std::to_string(i % 10)});
    }
    return rows;
}

class ManyStrings : public ::testing::Test {
  protected:
    void SetUp() override {
        rows_ = manyTexts(12000);
        out_ = dir_ / "many.xls";
        Status s = blankTemplate(dir_.path()).write(out_, {"文本", "重复"}, rows_);
        ASSERT_TRUE(s.ok()) << s.error().description;
        recs_ = workbookRecords(out_);
        sst_ = walkSst(recs_);
    }
    TempDir dir_;
    std::vector<std::vector<std::string>> rows_;
    std::filesystem::path out_;
    std::vector<RawRecord> recs_;
    SstLayout sst_;
};

TEST_F(ManyStrings, SplitsFollowTheRulesAndEqualTextsShareOneEntry) {
    ASSERT_EQ(sst_.problem, "");
    size_t continues = 0;
    for (const auto& r : recs_) continues += r.type == xls::rec::kContinue;
    EXPECT_GT(continues, 20u);
    EXPECT_EQ(sst_.unique, 2u + 12000u + 10u);
    EXPECT_EQ(sst_.total, 2u + 24000u);
    std::set<std::u16string> distinct(sst_.text.begin(), sst_.text.end());
    EXPECT_EQ(distinct.size(), sst_.text.size());
    EXPECT_EQ(sst_.text[0], u"文本");
    EXPECT_EQ(sst_.text[2], utf16(rows_[0][0]));
}

TEST_F(ManyStrings, ExtSstPointsAtEveryBucketsFirstString) {
    ASSERT_EQ(sst_.problem, "");
    auto ext = std::find_if(recs_.begin(), recs_.end(),
                            [](const RawRecord& r) { return r.type == xls::rec::kExtSst; });
    ASSERT_NE(ext, recs_.end());
    size_t bucket = u16(ext->data, 0);
    ASSERT_GE(bucket, 8u);
    size_t entries = (ext->data.size() - 2) / 8;
    EXPECT_EQ(entries, (sst_.unique + bucket - 1) / bucket);
    EXPECT_LE(entries, 128u);
    for (size_t k = 0; k < entries; ++k) {
        EXPECT_EQ(u32(ext->data, 2 + 8 * k), sst_.start[k * bucket]) << k;
        EXPECT_EQ(u16(ext->data, 6 + 8 * k), sst_.inRecord[k * bucket]) << k;
    }
}

TEST_F(ManyStrings, XlrdAndFreeXlReadEveryText) {
    std::string why;
    auto book = readWithXlrd(out_, &why);
    ASSERT_TRUE(book) << why;
    auto fx = readWithFreeXl(out_, &why);
    ASSERT_TRUE(fx) << why;
    for (const ReadBook* b : {&*book, &*fx}) {
        const ReadSheet& s = (*b)[0];
        ASSERT_EQ(s.rows, rows_.size() + 1);
        size_t wrong = 0;
        for (size_t r = 0; r < rows_.size(); ++r)
            for (size_t c = 0; c < 2; ++c) wrong += s.at(r + 1, c) != rows_[r][c];
        EXPECT_EQ(wrong, 0u);
    }
}

TEST(SstOfTemplate, TemplateStringsKeepTheirIndexes) {
    // The template's LABELSST cells on both sheets must still find their texts
    // after the page's strings are added behind them.
    TempDir dir;
    auto tpl = dir / "t.xls";
    CommandResult made = runPython(
        "import sys, xlwt\nw = xlwt.Workbook(encoding='utf-8')\n"
        "a = w.add_sheet('一')\nb = w.add_sheet('二')\n"
        "for i in range(300): b.write(i, 0, '模板%d' % i)\n"
        "a.write(1, 0, '模板7')\nw.save(sys.argv[1])\n",
        shellQuote(tpl.string()));
    ASSERT_EQ(made.exitCode, 0) << made.output;
    auto t = xls::ExportTemplate::load(tpl);
    ASSERT_TRUE(t.ok()) << t.error().description;
    auto rows = manyTexts(3000);
    ASSERT_TRUE(t->write(dir / "o.xls", {"模板7", "新"}, rows).ok());
    auto book = readWithXlrd(dir / "o.xls");
    ASSERT_TRUE(book);
    ASSERT_EQ(book->size(), 2u);
    for (size_t i = 0; i < 300; ++i) ASSERT_EQ((*book)[1].at(i, 0), "模板" + std::to_string(i));
    EXPECT_EQ((*book)[0].at(3001, 0), "模板7");
    EXPECT_EQ((*book)[0].at(3000, 0), rows[2999][0]);
    SstLayout sst = walkSst(workbookRecords(dir / "o.xls"));
    ASSERT_EQ(sst.problem, "");
    EXPECT_EQ(sst.text[7], u"模板7");
}

}  // namespace
}  // namespace tabrovin::testing
