// libFuzzer target for the quick scan of .xlsx worksheet parts: on
// arbitrary bytes, fed in chunks of varying size, the measure either cannot
// tell or gives exactly the size the full parse gives, which then must not
// refuse the part; and reading the rows by the scan, handing over to the
// full parse where it cannot go on, gives the rows and outcome of the full
// parse alone.

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
    using tabrovin::sheets::ReadBy;
    const tabrovin::sheets::SheetReadTrial trial{1 + data[0] % 3, 64, 8, data[0] % 5, chunk};
    auto quickRead = tabrovin::sheets::readSheetXml(xml, strings, ReadBy::Scan, trial);
    auto fullRead = tabrovin::sheets::readSheetXml(xml, strings, ReadBy::FullParse, trial);
    if (quickRead.rows != fullRead.rows || quickRead.status.ok() != fullRead.status.ok() ||
        (!quickRead.status.ok() &&
         quickRead.status.error().description != fullRead.status.error().description))
        std::abort();
    auto quick = scan.size();
    if (!quick) return 0;
    auto full = tabrovin::sheets::parsedSheetSize(xml, strings);
    if (!full.ok() || full->rows != quick->rows || full->columns != quick->columns) std::abort();
    return 0;
}
