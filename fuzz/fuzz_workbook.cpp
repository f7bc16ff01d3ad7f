// libFuzzer target for the .xlsx and .ods readers as a whole: zip, XML and
// cells. An input starting with "PK" is taken as the file itself; any other
// is a list of parts, each introduced by a line "==>name", packed into a
// stored zip here, so that mutations reach the XML instead of breaking the
// deflate stream. Every sheet is then read the way an import would.

#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/workbook.h"
#include "read_checked.h"

namespace {

void put16(std::string& out, uint32_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}
void put32(std::string& out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

// A zip of `parts` (name, bytes), stored without compression.
std::string storedZip(const std::vector<std::pair<std::string_view, std::string_view>>& parts) {
    std::string out, directory;
    for (const auto& [name, bytes] : parts) {
        uint32_t crc = static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(bytes.data()),
                                                   static_cast<uInt>(bytes.size())));
        uint32_t offset = static_cast<uint32_t>(out.size());
        std::string common;
        put16(common, 20), put16(common, 0), put16(common, 0), put16(common, 0), put16(common, 0);
        put32(common, crc), put32(common, uint32_t(bytes.size())),
            put32(common, uint32_t(bytes.size()));
        put16(common, uint16_t(name.size())), put16(common, 0);
        put32(out, 0x04034b50);
        out += common;
        out += name;
        out += bytes;
        put32(directory, 0x02014b50);
        put16(directory, 20);
        directory += common;
        put16(directory, 0), put16(directory, 0), put16(directory, 0), put32(directory, 0);
        put32(directory, offset);
        directory += name;
    }
    uint32_t at = static_cast<uint32_t>(out.size());
    out += directory;
    put32(out, 0x06054b50), put16(out, 0), put16(out, 0);
    put16(out, uint16_t(parts.size())), put16(out, uint16_t(parts.size()));
    put32(out, uint32_t(directory.size())), put32(out, at), put16(out, 0);
    return out;
}

std::string packageOf(std::string_view input) {
    if (input.starts_with("PK")) return std::string(input);
    std::vector<std::pair<std::string_view, std::string_view>> parts;
    size_t at = input.find("==>");
    while (at != std::string_view::npos && parts.size() < 64) {
        size_t line = input.find('\n', at);
        if (line == std::string_view::npos) break;
        size_t next = input.find("\n==>", line);
        size_t end = next == std::string_view::npos ? input.size() : next;
        parts.emplace_back(input.substr(at + 3, line - at - 3),
                           input.substr(line + 1, end - line - 1));
        at = next == std::string_view::npos ? next : next + 1;
    }
    return storedZip(parts);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tabrovin;
    static unsigned long run = 0;
    // A new name each run: sheet sizes are remembered per file name and time.
    auto path =
        std::filesystem::temp_directory_path() /
        ("fuzz_workbook_" + std::to_string(getpid()) + "_" + std::to_string(run++) + ".zip");
    {
        std::ofstream(path, std::ios::binary)
            << packageOf(std::string_view(reinterpret_cast<const char*>(data), size));
    }
    auto book = openWorkbookFile(path);
    if (book) fuzzing::readSheets(**book, 8, 4096, 256);
    std::filesystem::remove(path);
    return 0;
}
