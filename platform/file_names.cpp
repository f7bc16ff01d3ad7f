#include "platform/file_names.h"

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
