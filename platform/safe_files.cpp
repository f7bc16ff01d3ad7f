#include "platform/safe_files.h"

#ifdef _WIN32
#include <io.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstring>
#include <vector>

namespace tabrovin {
namespace {

namespace fs = std::filesystem;

#ifdef _WIN32
int openNew(const fs::path& p) {
    return _wopen(p.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                  _S_IREAD | _S_IWRITE);
}
int openToRead(const fs::path& p) {
    std::error_code ec;
    if (!fs::is_regular_file(p, ec)) return -1;
    return _wopen(p.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
}
long writeSome(int fd, const char* p, size_t n) {
    return _write(fd, p, static_cast<unsigned>(n > (1u << 30) ? (1u << 30) : n));
}
long readSome(int fd, char* p, size_t n) {
    return _read(fd, p, static_cast<unsigned>(n));
}
bool syncFd(int fd) {
    return _commit(fd) == 0;
}
void closeFd(int fd) {
    _close(fd);
}
bool regularFd(int fd) {
    struct _stat64 st {};
    return _fstat64(fd, &st) == 0 && (st.st_mode & _S_IFREG);
}
#else
int openNew(const fs::path& p) {
    // O_EXCL refuses any name that exists, a link included, so nothing is
    // ever written through one; 0666 leaves the mode to the user's umask.
    return ::open(p.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
}
int openToRead(const fs::path& p) {
    // Opening a pipe for reading would wait for a writer.
    return ::open(p.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
}
long writeSome(int fd, const char* p, size_t n) {
    return static_cast<long>(::write(fd, p, n));
}
long readSome(int fd, char* p, size_t n) {
    return static_cast<long>(::read(fd, p, n));
}
bool syncFd(int fd) {
    return ::fsync(fd) == 0;
}
void closeFd(int fd) {
    ::close(fd);
}
bool regularFd(int fd) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
}
#endif

// An open regular file for reading, or -1 with `why`.
int openRegular(const fs::path& p, std::string& why) {
    int fd = openToRead(p);
    if (fd < 0) {
        why = std::strerror(errno);
        return -1;
    }
    if (!regularFd(fd)) {
        closeFd(fd);
        why = "它不是普通文件（可能是文件夹、管道或设备），不能读取";
        return -1;
    }
    return fd;
}

}  // namespace

Result<FreshFile> FreshFile::create(const fs::path& path) {
    std::error_code ec;
    fs::remove(path, ec);  // removes a link itself, never what it points to
    int fd = openNew(path);
    if (fd < 0)
        return Error::fileAccess(path, std::string("无法新建文件（") + std::strerror(errno) +
                                           "），请检查磁盘空间和文件夹的写入权限");
    return FreshFile(path, fd);
}

FreshFile::FreshFile(FreshFile&& o) noexcept
    : path_(std::move(o.path_)), fd_(o.fd_), kept_(o.kept_) {
    o.fd_ = -1;
    o.kept_ = true;
}

FreshFile::~FreshFile() {
    if (fd_ >= 0) closeFd(fd_);
    std::error_code ec;
    if (!kept_) fs::remove(path_, ec);
}

bool FreshFile::write(std::string_view bytes) {
    while (!bytes.empty() && fd_ >= 0) {
        long n = writeSome(fd_, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return fd_ >= 0;
}

bool FreshFile::copyFrom(const fs::path& from) {
    std::string why;
    int in = openRegular(from, why);
    if (in < 0) return false;
    std::vector<char> buf(1 << 20);
    bool ok = true;
    for (;;) {
        long n = readSome(in, buf.data(), buf.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        if (!write(std::string_view(buf.data(), static_cast<size_t>(n)))) {
            ok = false;
            break;
        }
    }
    closeFd(in);
    return ok;
}

bool FreshFile::finish(bool syncToDisk) {
    if (fd_ < 0) return false;
    bool ok = !syncToDisk || syncFd(fd_);
    closeFd(fd_);
    fd_ = -1;
    kept_ = ok;
    return ok;
}

Result<std::string> readRegularFile(const fs::path& path, size_t maxBytes) {
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(path, ec))) return Error::fileNotFound(path);
    std::string why;
    int fd = openRegular(path, why);
    if (fd < 0) return Error::fileAccess(path, why);
    std::string text(maxBytes, '\0');
    size_t got = 0;
    while (got < maxBytes) {
        long n = readSome(fd, text.data() + got, maxBytes - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<size_t>(n);
    }
    closeFd(fd);
    text.resize(got);
    return text;
}

bool isSpecialFile(const fs::path& path) {
    std::error_code ec;
    auto st = fs::status(path, ec);
    return !ec && fs::exists(st) && !fs::is_regular_file(st);
}

bool isProtectedFile(const fs::path& path) {
    std::error_code ec;
    auto st = fs::status(path, ec);
    if (ec || !fs::is_regular_file(st)) return false;
    // Windows shows the read-only attribute as missing write permission; a
    // POSIX mode without any write bit says the same, also to root.
    if ((st.permissions() & fs::perms::owner_write) == fs::perms::none) return true;
#ifndef _WIN32
    if (::access(path.c_str(), W_OK) != 0 && (errno == EACCES || errno == EPERM)) return true;
#endif
    return false;
}

Status refuseProtected(const fs::path& path) {
    if (!isProtectedFile(path)) return Status::Ok();
    return Error::fileAccess(path, "文件是只读的，程序不会替换它；如需继续，请先取消它的只读属性");
}

bool standInForClosedStreams() {
#ifdef _WIN32
    return _get_osfhandle(1) == -1;
#else
    bool outputClosed = false;
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        if (fd == 1) outputClosed = true;
        // open() takes the lowest free number: this one.
        [[maybe_unused]] int standIn = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    }
    return outputClosed;
#endif
}

}  // namespace tabrovin
