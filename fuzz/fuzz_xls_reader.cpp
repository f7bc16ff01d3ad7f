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
    fuzzing::readSheets(**book, 16, 4096, INT32_MAX);
    return 0;
}
