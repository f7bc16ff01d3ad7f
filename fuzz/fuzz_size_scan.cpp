// libFuzzer target for the quick measure of .xlsx worksheet parts: on
// arbitrary bytes, fed in chunks of varying size, the scan either cannot
// tell or gives exactly the size the full parse gives, which then must not
// refuse the part.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/sheets/size_scan.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    // The first byte sets the chunk size, so token boundaries fall everywhere.
    const size_t chunk = 1 + data[0] % 64;
    const std::string_view xml(reinterpret_cast<const char*>(data + 1), size - 1);
    // Shared strings 1 and 3 are empty, as a cell pointing at one holds no value.
    static const std::vector<std::string> strings = {"a", "", "b", ""};
    static const std::vector<size_t> ends = {1, 1, 2, 2};
    tabrovin::sheets::SheetSizeScan scan(ends);
    for (size_t at = 0; at < xml.size() && scan.feed(xml.substr(at, chunk)); at += chunk) {
    }
    auto quick = scan.size();
    if (!quick) return 0;
    auto full = tabrovin::sheets::parsedSheetSize(xml, strings);
    if (!full.ok() || full->rows != quick->rows || full->columns != quick->columns) std::abort();
    return 0;
}
