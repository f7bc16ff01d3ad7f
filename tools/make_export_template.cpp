// Build step: writes a blank export workbook, data/导出空白.xls or
// data/导出空白.xlsx after the name's ending.

#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/sheets/xlsx_writer.h"
#include "platform/xls/xls_writer.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_export_template <output .xls or .xlsx>\n");
        return 2;
    }
    const std::filesystem::path out(argv[1]);
    tabrovin::Status s = out.extension() == ".xlsx" ? tabrovin::sheets::writeBlankXlsx(out)
                                                    : tabrovin::xls::writeBlankWorkbook(out);
    if (!s.ok()) {
        std::fprintf(stderr, "make_export_template: %s\n", s.error().description.c_str());
        return 1;
    }
    return 0;
}
