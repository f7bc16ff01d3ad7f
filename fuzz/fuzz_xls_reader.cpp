// Feeds arbitrary bytes to the .xls reader as the Workbook stream, then reads
// every worksheet completely, the way an import would.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/xls/biff_workbook.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tabrovin;
    auto book = xls::parseWorkbookStream(std::vector<uint8_t>(data, data + size), "fuzz.xls");
    if (!book) return 0;
    int sheets = std::min((*book)->sheetCount(), 16);
    for (int n = 1; n <= sheets; ++n) {
        auto sheet = (*book)->worksheet(n);
        if (!sheet) continue;
        SheetSize s = (*sheet)->size();
        size_t bytes = 0;
        // One row and column past the values, to cover padding; a sparse
        // sheet's empty rows are cheap but many, so the count is capped.
        Status st = (*sheet)->readRows(1, std::min(s.rows + 1, 4096), s.columns + 1,
                                       [&](int32_t, const std::vector<std::string>& cells) {
                                           for (const auto& c : cells) bytes += c.size();
                                           return Status::Ok();
                                       });
        (void)st;
        (void)bytes;
    }
    (void)(*book)->worksheet(sheets + 1);
    return 0;
}
