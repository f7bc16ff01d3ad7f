// libFuzzer target for the export template: arbitrary bytes as the Workbook
// stream of a template a user put in place of the blank one. A template that
// loads must give pages that the .xls reader opens, with the headings in row
// 1 and the page's first rows below; a page refused leaves no file behind.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/workbook.h"
#include "platform/xls/compound_file.h"
#include "platform/xls/xls_writer.h"
#include "read_checked.h"

namespace {

namespace fs = std::filesystem;

fs::path scratch(const char* name) {
    return fs::temp_directory_path() /
           ("fuzz_export_template_" + std::to_string(::getpid()) + "_" + name + ".xls");
}

// Whether rows 1..3 of the page's first sheet start with what was written.
bool pageReadsBack(const fs::path& page) {
    const std::vector<std::vector<std::string>> expected = {{"H1", "H2"}, {"a", "b"}, {"c", ""}};
    auto book = tabrovin::openWorkbookFile(page);
    auto sheet = book ? (*book)->worksheet(1) : book.error();
    if (!sheet) return false;
    size_t row = 0;
    tabrovin::Status st = (*sheet)->readRows(1, 3, 2, [&](int32_t, const auto& cells) {
        fuzzing::check(cells == expected[row++]);
        return tabrovin::Status::Ok();
    });
    return st.ok() && row == 3;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tabrovin;
    const fs::path path = scratch("template"), out = scratch("page");
    if (size == 0 || !xls::writeCompoundFile(path, {{"Workbook", {data, data + size}}}).ok())
        return 0;
    auto loaded = xls::ExportTemplate::load(path);
    if (!loaded) return 0;
    // Pages of 2 to 65 rows, so that the template's rows move by different amounts.
    std::vector<std::vector<std::string>> rows(2 + data[size - 1] % 64, {"r", "s"});
    rows[0] = {"a", "b"};
    rows[1] = {"c", ""};
    Status written = loaded->write(out, {"H1", "H2"}, rows);
    std::error_code ec;
    if (!written.ok()) {
        fuzzing::check(!fs::exists(out, ec));
        return 0;
    }
    fuzzing::check(pageReadsBack(out));
    fs::remove(out, ec);
    return 0;
}
