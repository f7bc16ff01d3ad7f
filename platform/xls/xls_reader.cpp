#include "platform/xls/xls_reader.h"

#include <algorithm>
#include <cctype>

#include "platform/file_names.h"
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

}  // namespace

Result<std::unique_ptr<Workbook>> openXlsWorkbook(const std::filesystem::path& path) {
    auto streams = readCompoundFile(path);
    if (!streams) return streams.error();
    // A file saved by Excel 97 or later may also keep an old "Book" stream
    // for Excel 5; the "Workbook" stream is the current one.
    for (const char* name : {"Workbook", "Book"}) {
        for (auto& s : *streams)
            if (sameName(s.path, name)) return parseWorkbookStream(std::move(s.data));
    }
    return Error{err::kNotWorkbook,
                 "文件 " + utf8FromPath(path.filename()) +
                     " 是复合文档, 但找不到 Excel 工作簿数据(Workbook/Book 数据流): "
                     "它可能是其他程序的文件(如 Word 文档), 也可能已经损坏"};
}

}  // namespace tabrovin::xls
