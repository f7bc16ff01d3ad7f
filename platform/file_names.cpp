#include "platform/file_names.h"

#include <atomic>
#include <chrono>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tabrovin {

#ifdef _WIN32
std::FILE* openRegularFile(const std::filesystem::path& path, std::string& why) {
    std::FILE* f = _wfopen(path.c_str(), L"rb");  // wide-character paths
    if (!f) why = "没有权限或被占用";
    return f;
}
#else
std::FILE* openRegularFile(const std::filesystem::path& path, std::string& why) {
    // Opened without waiting, since opening a pipe for reading waits for a
    // writer; it reads blocking once it is known to be a file.
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        why = "没有权限或被占用";
        return nullptr;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        why = "这不是普通文件（可能是管道、设备或套接字），不能作为工作簿读取";
        return nullptr;
    }
    std::FILE* f = nullptr;
    int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0 && ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0) f = ::fdopen(fd, "rb");
    if (!f) {
        ::close(fd);
        why = "无法打开文件读取";
    }
    return f;
}
#endif

}  // namespace tabrovin

namespace tabrovin {
namespace fs = std::filesystem;

Status checkDestination(const fs::path& out) {
    std::error_code ec;
    fs::path folder = out.parent_path().empty() ? fs::path(".") : out.parent_path();
    if (!fs::is_directory(folder, ec)) return Error::folderNotFound(folder);
    auto st = fs::status(out, ec);
    if (ec || !fs::exists(st)) return Status::Ok();
    if (fs::is_directory(st)) return Error::fileAccess(out, "同名的文件夹已存在");
    if ((st.permissions() & fs::perms::owner_write) == fs::perms::none)
        return Error::fileAccess(out, "文件是只读的");
    return Status::Ok();
}

fs::path temporaryBeside(const fs::path& out) {
    static std::atomic<unsigned> counter{0};
    auto tick = std::chrono::steady_clock::now().time_since_epoch().count();
    fs::path name = out.filename();
    name += ".~" + std::to_string(tick % 1000000007) + "-" + std::to_string(counter++) + ".tmp";
    return out.parent_path() / name;
}

Status renameIntoPlace(const fs::path& tmp, const fs::path& out) {
    std::error_code ec;
    fs::rename(tmp, out, ec);
    if (!ec) return Status::Ok();
    fs::remove(tmp, ec);
    return Error::fileAccess(out, "文件可能正被其他程序使用，或没有写入权限");
}

}  // namespace tabrovin
