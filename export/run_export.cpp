#include "export/run_export.h"

#include "core/buttons.h"
#include "core/statements.h"
#include "export/export_lists.h"
#include "export/write_export_workbook.h"

namespace tabrovin {
namespace {

constexpr const char* kRunTitle = "ZazIV : 导出数据0出错! # ";
constexpr const char* kPageTitle = "ZazIV : 导出数据1出错! # ";
constexpr int32_t kMaxRowsPerWorkbook = 65535;  // one row of an .xls sheet holds the headings

// Rows per workbook: a whole number from 1 to 65535, or nothing.
std::optional<int32_t> rowsPerWorkbook(const std::string& text) {
    size_t b = text.find_first_not_of(' '), e = text.find_last_not_of(' ');
    if (b == std::string::npos) return std::nullopt;
    std::string digits = text.substr(b, e - b + 1);
    if (digits[0] == '+') digits.erase(0, 1);
    if (digits.empty() || digits.size() > 6 ||
        digits.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    int32_t n = std::stoi(digits);
    if (n < 1 || n > kMaxRowsPerWorkbook) return std::nullopt;
    return n;
}

// Returns the page count, or an error of the run itself.
Result<int32_t> exportPages(Session& s, const std::vector<ExportColumn>& columns, int32_t n,
                            int32_t total) {
    auto largest = s.conn.readNumber(statements::largestId());
    if (!largest) return largest.error();
    const int32_t pages = total / n + (total % n ? 1 : 0);
    PageWriter writer(s, columns);
    int64_t lower = 0;
    for (int32_t p = 1; p <= pages; ++p) {
        const int64_t k = std::min<int64_t>(int64_t{n} * p, total);
        auto id = s.conn.readOptionalNumber(statements::idAfter(lower, k - int64_t{n} * (p - 1)));
        if (!id) return id.error();
        const int64_t upper = id->value_or(*largest);
        Status page = writer.write(s.paths.exportFile(p), lower, upper);
        if (!page.ok()) s.errorBox(kPageTitle, page.error());
        lower = upper;
    }
    return pages;
}

}  // namespace

void runExport(Session& s) {
    if (s.window.count(ListBox::List3) == 0) return s.message("没有要导出的列!", Icon::Information);
    auto n = rowsPerWorkbook(s.window.text(TextBox::Text1));
    if (!n)
        return s.message(
            "\"每多少个一个excel\"必须是 1 到 65535 之间的整数 (一个 .xls 工作表最多 "
            "65536 行, 第一行是列名)。",
            Icon::Information);
    auto columns = exportColumns(s.window);
    if (!columns) return s.errorBox(kRunTitle, columns.error());
    setButtons(s.window, kNoButton, 0);
    Result<int32_t> pages = [&]() -> Result<int32_t> {
        TABROVIN_TRY(s.openConn());
        auto total = s.conn.readNumber(statements::countRowsForExport());
        if (!total) return total.error();
        if (*total == 0) return 0;
        return exportPages(s, *columns, *n, *total);
    }();
    setButtons(s.window, kNoButton, 1);
    if (!pages) return s.errorBox(kRunTitle, pages.error());
    if (*pages == 0) return s.message("工作表中没有数据, 没有导出任何文件。", Icon::Information);
    s.message(" 完成了导出," + std::to_string(*pages) + "页,存于[导出]文件夹下.",
              Icon::Information);
}

}  // namespace tabrovin
