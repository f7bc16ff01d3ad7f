// Feeds arbitrary bytes to the .xls reader as the Workbook stream, then reads
// every worksheet completely, the way an import would.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/xls/biff_workbook.h"
#include "read_checked.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tabrovin;
    auto book = xls::parseWorkbookStream(std::vector<uint8_t>(data, data + size), "fuzz.xls");
    if (!book) return 0;
    int sheets = std::min((*book)->sheetCount(), 16);
    for (int n = 1; n <= sheets; ++n) {
        auto sheet = (*book)->worksheet(n);
        if (!sheet) continue;
        SheetSize s = (*sheet)->size();
        // One row and column past the values, to cover padding; a sparse
        // sheet's empty rows are cheap but many, so the count is capped.
        int32_t read = 0;
        (void)fuzzing::readChecked(**sheet, std::min(s.rows + 1, 4096), s.columns + 1, read);
    }
    (void)(*book)->worksheet(sheets + 1);
    return 0;
}
