// Build step: writes the blank export workbook (data/导出空白.xls).

#include <cstdio>
#include <filesystem>

#include "platform/xls/xls_writer.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_export_template <output .xls>\n");
        return 2;
    }
    tabrovin::Status s = tabrovin::xls::writeBlankWorkbook(std::filesystem::path(argv[1]));
    if (!s.ok()) {
        std::fprintf(stderr, "make_export_template: %s\n", s.error().description.c_str());
        return 1;
    }
    return 0;
}
