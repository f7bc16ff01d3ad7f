// Export page writing speed: 1,000 pages of 1,000 rows x 10 columns, then one
// full sheet of 65,535 rows x 10 columns, into a scratch folder.
// Usage: bench_xls_writer [scratch folder]

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/xls/xls_writer.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

static std::vector<std::vector<std::string>> page(size_t rows, size_t first) {
    static const char* names[] = {"张三", "李四", "王五", "赵六", "Smith", "Müller"};
    std::vector<std::vector<std::string>> out(rows);
    for (size_t r = 0; r < rows; ++r) {
        size_t n = first + r;
        out[r] = {std::to_string(n),
                  names[n % 6],
                  "北京市海淀区中关村大街" + std::to_string(n % 500) + "号",
                  std::to_string(n * 37 % 100000) + ".50",
                  "2024-0" + std::to_string(n % 9 + 1) + "-1" + std::to_string(n % 10),
                  n % 3 ? "是" : "否",
                  "备注 " + std::to_string(n),
                  std::to_string(13800000000 + n),
                  "类别" + std::to_string(n % 20),
                  ""};
    }
    return out;
}

static double seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

int main(int argc, char** argv) {
    fs::path dir = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "bench_xls_writer";
    fs::create_directories(dir);
    if (!tabrovin::xls::writeBlankWorkbook(dir / "template.xls").ok()) return 1;
    auto t = tabrovin::xls::ExportTemplate::load(dir / "template.xls");
    if (!t.ok()) return 1;
    std::vector<std::string> headings = {"编号", "姓名", "地址", "金额", "日期",
                                         "有效", "备注", "电话", "类别", "空"};
    std::vector<std::vector<std::vector<std::string>>> pages;
    for (size_t p = 0; p < 10; ++p) pages.push_back(page(1000, p * 1000));
    auto start = Clock::now();
    for (size_t p = 0; p < 1000; ++p) {
        auto s = t->write(dir / ("p" + std::to_string(p % 20) + ".xls"), headings, pages[p % 10]);
        if (!s.ok()) return std::fprintf(stderr, "%s\n", s.error().description.c_str()), 1;
    }
    std::printf("1000 pages x 1000 rows x 10 columns: %.2f s\n", seconds(start));
    auto full = page(65535, 0);
    start = Clock::now();
    if (!t->write(dir / "full.xls", headings, full).ok()) return 1;
    std::printf("one page of 65535 rows x 10 columns: %.2f s (%ju bytes)\n", seconds(start),
                static_cast<uintmax_t>(fs::file_size(dir / "full.xls")));
    fs::remove_all(dir);
    return 0;
}
