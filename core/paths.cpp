#include "core/paths.h"

namespace tabrovin {

std::filesystem::path ProgramPaths::exportTemplate() const {
    return dataDir() / pathFromUtf8("导出空白.xls");
}

std::filesystem::path ProgramPaths::exportXlsxTemplate() const {
    return dataDir() / pathFromUtf8("导出空白.xlsx");
}

std::filesystem::path ProgramPaths::exportDir() const {
    return folder_ / pathFromUtf8("导出");
}

std::filesystem::path ProgramPaths::exportFile(int page, const std::string& extension) const {
    return exportDir() / pathFromUtf8("转换后的" + std::to_string(page) + extension);
}

}  // namespace tabrovin
