// Shared strings split over CONTINUE records in every place a writer may
// split them, read by the workbook reader and by the template reader (which
// copies a template's strings into each page), and written back.

#include <gtest/gtest.h>

#include "platform/encoding.h"
#include "platform/xls/biff_strings.h"
#include "platform/xls/biff_write_sst.h"
#include "tests/xls/xls_test_util.h"

namespace tabrovin::xls {
namespace {
using testutil::Bytes;

struct SplitCase {
    const char* name;
    std::vector<Bytes> segments;  // the SST record's data, then each CONTINUE's
    std::vector<std::string> texts;
    Bytes firstTail = {};  // the first string's runs and phonetic bytes
};

Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes sstHead(uint32_t count) {
    Bytes d;
    put32(d, count);
    put32(d, count);
    return d;
}

Bytes wide(const std::string& utf8) {
    std::string u = *encoding::fromUtf8(utf8, encoding::kUtf16Le);
    return Bytes(u.begin(), u.end());
}

Bytes narrow(const std::string& ascii) {
    return Bytes(ascii.begin(), ascii.end());
}

// cch, option flags, then the run count and phonetic size when flagged.
Bytes head(uint16_t cch, uint8_t flags, uint16_t runs = 0, uint32_t ext = 0) {
    Bytes d;
    put16(d, cch);
    d.push_back(flags);
    if (flags & 0x08) put16(d, runs);
    if (flags & 0x04) put32(d, ext);
    return d;
}

std::vector<SplitCase> cases() {
    const Bytes runs = {0, 0, 1, 0, 2, 0, 0, 0};  // two runs: (0, font 1), (2, font 0)
    const Bytes phonetic = {1, 0, 2, 0, 3, 0};
    return {
        {"header ends the record: the characters resume after an option byte",
         {cat({sstHead(2), head(3, 0)}), cat({{1}, wide("汉字A"), head(2, 0), narrow("ok")})},
         {"汉字A", "ok"}},
        {"characters end the record: the next header follows without one",
         {cat({sstHead(2), head(3, 0), narrow("abc")}), cat({head(2, 0), narrow("de")})},
         {"abc", "de"}},
        {"8-bit characters continue as 16-bit",
         {cat({sstHead(1), head(4, 0), narrow("ab")}), cat({{1}, wide("中文")})},
         {"ab中文"}},
        {"16-bit characters continue as 8-bit, over two continuations",
         {cat({sstHead(1), head(4, 1), wide("中")}), cat({{0}, narrow("x")}),
          cat({{1}, wide("文y")})},
         {"中x文y"}},
        {"split inside the rich-text runs",
         {cat({sstHead(2), head(4, 0x08, 2), narrow("rich"),
               Bytes(runs.begin(), runs.begin() + 3)}),
          cat({Bytes(runs.begin() + 3, runs.end()), head(4, 0), narrow("next")})},
         {"rich", "next"},
         runs},
        {"split inside the phonetic block, after the runs",
         {cat({sstHead(2), head(1, 0x0D, 2, 6), wide("字"), runs, {1, 0}}),
          cat({{2, 0, 3, 0}, head(3, 0), narrow("end")})},
         {"字", "end"},
         cat({runs, phonetic})},
        {"a lone byte of a 16-bit character before the record end is stepped over",
         {cat({sstHead(1), head(2, 1), wide("中"), {0x41}}), cat({{1}, wide("文")})},
         {"中文"}},
        {"split exactly between the characters and the runs",
         {cat({sstHead(1), head(2, 0x09, 2), wide("汉字")}), runs},
         {"汉字"},
         runs},
    };
}

std::string utf8Of(const StoredString& s) {
    std::u16string units;
    for (size_t i = 0; i < s.cch; ++i)
        units.push_back(s.wide ? static_cast<char16_t>(u16(s.chars, 2 * i)) : s.chars[i]);
    return encoding::utf16ToUtf8(units);
}

std::vector<std::string> readByWorkbookReader(const std::vector<Bytes>& segments) {
    Record r;
    r.type = rec::kSst;
    r.data = segments[0];
    for (size_t i = 1; i < segments.size(); ++i) r.continues.push_back(segments[i]);
    auto table = parseSharedStrings(r, "t.xls");
    EXPECT_TRUE(table.ok()) << (table.ok() ? "" : table.error().description);
    std::vector<std::string> out;
    for (size_t i = 0; table && i < table->size(); ++i) out.emplace_back(table->at(i));
    return out;
}

std::vector<StoredString> readByTemplateReader(const std::vector<Bytes>& segments) {
    std::vector<std::span<const uint8_t>> continues(segments.begin() + 1, segments.end());
    uint32_t refs = 0;
    std::vector<StoredString> out;
    EXPECT_TRUE(parseSst(segments[0], continues, refs, out));
    return out;
}

// Both readers agree on every split. A template's strings go into every
// page: written with their runs and phonetic data and read back, they are
// the same strings.
TEST(SplitStrings, BothReadersAgreeOnEverySplitAndTemplateStringsSurviveRewriting) {
    for (const SplitCase& c : cases()) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(readByWorkbookReader(c.segments), c.texts);
        auto stored = readByTemplateReader(c.segments);
        ASSERT_EQ(stored.size(), c.texts.size());
        for (size_t i = 0; i < stored.size(); ++i) EXPECT_EQ(utf8Of(stored[i]), c.texts[i]);
        EXPECT_EQ(stored[0].tail, c.firstTail);

        Bytes stream;
        SstWriter writer(stream, 7, stored.size() + 1);
        for (const auto& s : stored) writer.add(s);
        writer.addUtf8(std::string(9000, 'z'));  // forces a CONTINUE after them
        writer.finish();
        RecordReader reader(stream);
        Record r;
        ASSERT_TRUE(reader.next(r));
        std::vector<Bytes> again = {Bytes(r.data.begin(), r.data.end())};
        for (auto part : r.continues) again.emplace_back(part.begin(), part.end());
        auto want = c.texts;
        want.push_back(std::string(9000, 'z'));
        EXPECT_EQ(readByWorkbookReader(again), want);
        EXPECT_EQ(readByTemplateReader(again)[0].tail, c.firstTail);
    }
}

// Counts and sizes that claim more than the records hold are refused by
// both readers before they allocate for them.
TEST(SplitStrings, ClaimsPastTheDataAreRefused) {
    for (const Bytes& bad : {cat({sstHead(1), head(5, 0), narrow("ab")}),
                             cat({sstHead(1), head(2, 0x04, 0, 0xFFFFFFF0u), narrow("ab")}),
                             cat({sstHead(1), head(2, 0x08, 0xFFFF), narrow("ab"), Bytes(8, 0)}),
                             cat({sstHead(1), head(4, 1), wide("中")})}) {  // the rest never comes
        Record r;
        r.data = bad;
        EXPECT_TRUE(testing::failsWith(parseSharedStrings(r, "t.xls"), err::kDamagedWorkbook));
        uint32_t refs = 0;
        std::vector<StoredString> out;
        EXPECT_FALSE(parseSst(bad, {}, refs, out));
    }
}

}  // namespace
}  // namespace tabrovin::xls
