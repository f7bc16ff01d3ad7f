// libFuzzer target for the CSV reader: arbitrary bytes, as a file, must be
// judged by the opening check and then either refused with a message or read
// into rows of the promised width whose every cell is UTF-8 without NULs.

#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/sheets/csv_reader.h"
#include "read_checked.h"

namespace {

using fuzzing::check;

namespace fs = std::filesystem;

const fs::path& scratchFile() {
    static const fs::path path =
        fs::temp_directory_path() / ("fuzz_csv_reader_" + std::to_string(::getpid()) + ".csv");
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    {
        std::ofstream out(scratchFile(), std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    constexpr size_t kHead = 64 * 1024;
    (void)tabrovin::sheets::sniffCsv(bytes.substr(0, kHead), size <= kHead);

    auto book = tabrovin::sheets::openCsv(scratchFile());
    if (!book) return 0;
    check((*book)->sheetCount() == 1);
    auto sheet = (*book)->worksheet(1);
    if (!sheet) {
        check(!sheet.error().description.empty());
        return 0;
    }
    tabrovin::SheetSize sheetSize = (*sheet)->size();
    check(sheetSize.rows >= 0 && sheetSize.columns >= 0);
    const int32_t columns = std::min(sheetSize.columns + 1, 64);
    const int32_t last = std::min(sheetSize.rows + 1, 5000);
    int32_t read = 0;
    auto status = fuzzing::readChecked(**sheet, last, columns, read);
    check(status.ok() && read == last);
    return 0;
}
