// libFuzzer target for the .xls page writer against the .xls reader: any
// texts, as the working table may hold them, written into a page must read
// back as written, changed only as the writer promises: bytes that are not
// UTF-8 as U+FFFD, texts cut to 32,767 UTF-16 units, and NULs, which no
// reader hands over, gone. The input is the page's cells, 0x01 between cells
// and 0x02 between rows; its first row is the headings.

#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/encoding.h"
#include "platform/workbook.h"
#include "platform/xls/biff_write_sst.h"
#include "platform/xls/xls_writer.h"
#include "read_checked.h"

namespace {

namespace fs = std::filesystem;
using Grid = std::vector<std::vector<std::string>>;

fs::path scratch(const char* name) {
    return fs::temp_directory_path() /
           ("fuzz_xls_pages_" + std::to_string(::getpid()) + "_" + name + ".xls");
}

// `s` cut at each `sep`, into at most `most` parts (the last keeps the rest).
std::vector<std::string_view> split(std::string_view s, char sep, size_t most) {
    std::vector<std::string_view> parts;
    for (;;) {
        size_t at = parts.size() + 1 < most ? s.find(sep) : std::string_view::npos;
        parts.push_back(s.substr(0, at));
        if (at == std::string_view::npos) return parts;
        s.remove_prefix(at + 1);
    }
}

// The page's cells: rows of exactly as many texts as there are headings.
Grid pageOf(std::string_view input) {
    Grid grid;
    for (std::string_view line : split(input, '\x02', 64)) {
        std::vector<std::string> cells;
        for (std::string_view cell : split(line, '\x01', 16)) cells.emplace_back(cell);
        if (!grid.empty()) cells.resize(grid[0].size());
        grid.push_back(std::move(cells));
    }
    return grid;
}

// `text` as the writer promises to store it and the reader to hand it over.
std::string stored(std::string_view text) {
    std::string out;
    size_t units = 0;
    auto* p = reinterpret_cast<const uint8_t*>(text.data());
    auto* end = p + text.size();
    while (p < end) {
        char32_t c = tabrovin::encoding::decodeUtf8(p, end);
        if (c == tabrovin::encoding::kBadUtf8) c = 0xFFFD;
        units += c > 0xFFFF ? 2 : 1;
        if (units > tabrovin::xls::kMaxCellChars) break;
        if (c != 0) tabrovin::encoding::appendUtf8(out, c);
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tabrovin;
    static const fs::path blank = scratch("blank");
    static const bool made = xls::writeBlankWorkbook(blank).ok();
    fuzzing::check(made);
    static auto page = xls::ExportTemplate::load(blank);
    fuzzing::check(page.ok());

    Grid grid = pageOf(std::string_view(reinterpret_cast<const char*>(data), size));
    const fs::path out = scratch("page");
    Grid rows(grid.begin() + 1, grid.end());
    fuzzing::check(page->write(out, grid[0], rows).ok());

    auto book = openWorkbookFile(out);
    fuzzing::check(book.ok());
    auto sheet = (*book)->worksheet(1);
    fuzzing::check(sheet.ok());
    const auto columns = static_cast<int32_t>(grid[0].size());
    int32_t row = 0;
    Status st = (*sheet)->readRows(1, static_cast<int32_t>(grid.size()), columns,
                                   [&](int32_t, const std::vector<std::string>& cells) {
                                       for (int32_t c = 0; c < columns; ++c)
                                           fuzzing::check(cells[c] == stored(grid[row][c]));
                                       ++row;
                                       return Status::Ok();
                                   });
    fuzzing::check(st.ok() && row == static_cast<int32_t>(grid.size()));
    fs::remove(out);
    return 0;
}
