#include "core/folder_stamp.h"

#include <fstream>

namespace tabrovin {
namespace {

// Size and modification time, and the first `headBytes` bytes of the file.
std::string stampOf(const std::filesystem::path& file, std::streamsize headBytes) {
    std::error_code ec;
    // Only a regular file is read: a pipe put in its place would block.
    if (!std::filesystem::is_regular_file(file, ec)) return "not a file";
    const auto size = std::filesystem::file_size(file, ec);
    if (ec) return "missing";
    const auto time = std::filesystem::last_write_time(file, ec);
    std::string stamp =
        std::to_string(size) + "@" + std::to_string(time.time_since_epoch().count());
    if (headBytes > 0) {
        std::ifstream in(file, std::ios::binary);
        std::string head(static_cast<size_t>(headBytes), '\0');
        in.read(head.data(), headBytes);
        stamp += "#" + head.substr(0, static_cast<size_t>(in.gcount()));
    }
    return stamp;
}

// SQLite's header: the file change counter sits at offset 24, four bytes.
constexpr std::streamsize kDatabaseHeadBytes = 28;

}  // namespace

FolderStamp FolderStamp::of(const ProgramPaths& paths) {
    return {stampOf(paths.workingDb(), kDatabaseHeadBytes), stampOf(paths.columnList(), 0)};
}

}  // namespace tabrovin
