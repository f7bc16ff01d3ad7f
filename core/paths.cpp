#include "core/paths.h"

#include "platform/file_names.h"

namespace tabrovin {

std::filesystem::path pathFromUtf8(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string utf8FromPath(const std::filesystem::path& path) {
    return utf8Path(path);
}

std::filesystem::path ProgramPaths::exportTemplate() const {
    return dataDir() / pathFromUtf8("导出空白.xls");
}

std::filesystem::path ProgramPaths::exportDir() const {
    return folder_ / pathFromUtf8("导出");
}

std::filesystem::path ProgramPaths::exportFile(int page) const {
    return exportDir() / pathFromUtf8("转换后的" + std::to_string(page) + ".xls");
}

}  // namespace tabrovin
