#include "platform/xls/xls_reader.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>

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
Result<std::unique_ptr<Workbook>> openBareStream(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
    if (in.bad()) return Error::fileAccess(path, "无法读取文件内容");
    return parseWorkbookStream(std::move(bytes), path);
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
        std::ifstream in(path, std::ios::binary);
        std::string head(8, '\0');
        in.read(head.data(), 8);
        if (looksLikeBareBiff(head)) return openBareStream(path);
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
