// A page too large for the .xls format is refused before anything is written;
// its size is judged ahead from an upper bound of the shared string table.

#include <random>

#include "platform/xls/biff_write_template.h"
#include "tests/xlswriter/readers.h"

namespace tabrovin::testing {
namespace {

namespace fs = std::filesystem;

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
