#include "platform/xls/xls_reader.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <memory>

#include "platform/file_names.h"
#include "platform/xls/biff_record.h"
#include "platform/xls/biff_workbook.h"
#include "platform/xls/compound_file.h"

namespace tabrovin::xls {
namespace {

bool sameName(const std::string& a, const char* b) {
    std::string_view bv(b);
    return a.size() == bv.size() && std::equal(a.begin(), a.end(), bv.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// Excel 2.x to 4.0 saved a bare record stream (a few writers still save
// later versions so), read here as a container's stream would be.
// Up to `limit` bytes from the start of the file at `path`.
Result<std::vector<uint8_t>> readStart(const std::filesystem::path& path, size_t limit) {
    std::string why;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> in(openRegularFile(path, why), std::fclose);
    if (!in) return Error::fileAccess(path, why);
    std::vector<uint8_t> bytes;
    uint8_t buf[1 << 16];
    for (size_t n; bytes.size() < limit && (n = std::fread(buf, 1, sizeof buf, in.get())) > 0;)
        bytes.insert(bytes.end(), buf, buf + std::min(n, limit - bytes.size()));
    if (std::ferror(in.get())) return Error::fileAccess(path, "无法读取文件内容");
    return bytes;
}

Result<std::unique_ptr<Workbook>> openBareStream(const std::filesystem::path& path) {
    auto bytes = readStart(path, SIZE_MAX);
    if (!bytes) return bytes.error();
    return parseWorkbookStream(std::move(*bytes), path);
}

}  // namespace

bool looksLikeBareBiff(std::string_view head) {
    if (head.size() < 8) return false;
    auto b = [&](size_t i) { return static_cast<uint8_t>(head[i]); };
    uint16_t type = static_cast<uint16_t>(b(0) | (b(1) << 8));
    uint16_t length = static_cast<uint16_t>(b(2) | (b(3) << 8));
    uint16_t kind = static_cast<uint16_t>(b(6) | (b(7) << 8));
    bool bof = type == rec::kBof2 || type == rec::kBof3 || type == rec::kBof4 || type == rec::kBof;
    // BIFF2 has no sheet kind; later versions name a sheet, chart, macro
    // sheet or workspace (0x0100) there.
    bool known = type == rec::kBof2 || kind == 0x0010 || kind == 0x0020 || kind == 0x0040 ||
                 kind == 0x0100 || kind == 0x0005;
    return bof && length >= 4 && length <= 20 && known;
}

Result<std::unique_ptr<Workbook>> openXlsWorkbook(const std::filesystem::path& path) {
    std::error_code ec;
    if (std::filesystem::exists(path, ec)) {  // a compound file's head is no BOF record
        auto head = readStart(path, 8);
        if (!head) return head.error();
        if (looksLikeBareBiff({reinterpret_cast<const char*>(head->data()), head->size()}))
            return openBareStream(path);
    }
    auto streams = readCompoundFile(path);
    if (!streams) return streams.error();
    // A file saved by Excel 97 or later may also keep an old "Book" stream
    // for Excel 5; the "Workbook" stream is the current one.
    for (const char* name : {"Workbook", "Book"}) {
        for (auto& s : *streams)
            if (sameName(s.path, name)) return parseWorkbookStream(std::move(s.data), path);
    }
    return Error::notWorkbook(
        path,
        "它是复合文档，但其中没有 Excel 工作簿数据（Workbook 或 Book 数据流），可能是其他程序的"
        "文件（如 Word 文档），也可能已经损坏");
}

}  // namespace tabrovin::xls
