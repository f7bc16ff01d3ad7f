#include "platform/folder_lock.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstring>

namespace tabrovin {
namespace {

constexpr size_t kMaxHolderBytes = 512;

// A refused caller names the holder from the file; a holder that has not yet
// written its name (or a file from an older run) is "another program".
std::string holderOrSomeone(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\0')) text.pop_back();
    return text.empty() ? std::string("另一个程序") : text;
}

std::string holderText(const std::string& holderName, long pid) {
    return "“" + holderName + "”（进程 " + std::to_string(pid) + "）";
}

}  // namespace

#ifdef _WIN32

namespace {
// The locked byte lies far past the holder's text: Windows locks are
// mandatory, and a refused caller must still be able to read that text.
constexpr DWORD kLockOffset = 1u << 20;
}  // namespace

Result<FolderLock> FolderLock::acquire(const std::filesystem::path& folder,
                                       const std::string& holderName, Use) {
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec)) return Error::folderNotFound(folder);
    const auto file = folder / kFileName;
    HANDLE h =
        CreateFileW(file.wstring().c_str(), GENERIC_READ | GENERIC_WRITE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return Error::fileAccess(file, "无法创建或打开锁文件，请检查文件夹是否可以写入");
    OVERLAPPED at{};
    at.Offset = kLockOffset;
    if (!LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
        std::string text(kMaxHolderBytes, '\0');
        DWORD got = 0;
        OVERLAPPED start{};
        if (!ReadFile(h, text.data(), static_cast<DWORD>(text.size()), &got, &start)) got = 0;
        CloseHandle(h);
        text.resize(got);
        return Error::busy(holderOrSomeone(text));
    }
    const std::string text = holderText(holderName, static_cast<long>(GetCurrentProcessId()));
    DWORD written = 0;
    SetFilePointer(h, 0, nullptr, FILE_BEGIN);
    SetEndOfFile(h);
    WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    FolderLock lock;
    lock.handle_ = h;
    return lock;
}

void FolderLock::release() {
    if (!handle_) return;
    HANDLE h = static_cast<HANDLE>(handle_);
    SetFilePointer(h, 0, nullptr, FILE_BEGIN);
    SetEndOfFile(h);
    OVERLAPPED at{};
    at.Offset = kLockOffset;
    UnlockFileEx(h, 0, 1, 0, &at);
    CloseHandle(h);
    handle_ = nullptr;
}

bool FolderLock::held() const {
    return handle_ != nullptr;
}

FolderLock::FolderLock(FolderLock&& o) noexcept : handle_(o.handle_) {
    o.handle_ = nullptr;
}

FolderLock& FolderLock::operator=(FolderLock&& o) noexcept {
    if (this != &o) {
        release();
        handle_ = o.handle_;
        o.handle_ = nullptr;
    }
    return *this;
}

#else

namespace {

// Opens the lock file without following a link, without waiting on a pipe
// and without truncating; -1 with errno set when that fails.
int openLockFile(const std::filesystem::path& file, bool writable) {
    const int flags = O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    return writable ? ::open(file.c_str(), O_RDWR | O_CREAT | flags, 0666)
                    : ::open(file.c_str(), O_RDONLY | flags);
}

// Only a plain file of ours may be written: a hard link to someone's file
// would have that file truncated, and a pipe would block the reader.
bool isPlainLockFile(int fd) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_nlink == 1;
}

bool folderIsReadOnly(int why) {
    return why == EACCES || why == EROFS || why == EPERM;
}

}  // namespace

// flock() rather than fcntl(): its lock belongs to the open file, so a second
// FolderLock in the same process is refused too, not silently granted.
Result<FolderLock> FolderLock::acquire(const std::filesystem::path& folder,
                                       const std::string& holderName, Use use) {
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec)) return Error::folderNotFound(folder);
    const auto file = folder / kFileName;
    int fd = openLockFile(file, true);
    bool writable = fd >= 0;
    if (fd < 0 && use == Use::Read && folderIsReadOnly(errno)) {
        fd = openLockFile(file, false);
        // A folder no one can write in needs no lock to be read.
        if (fd < 0 && errno == ENOENT) return FolderLock();
    }
    if (fd < 0)
        return Error::fileAccess(file,
                                 std::string("无法创建或打开锁文件，请检查文件夹是否可以写入（") +
                                     std::strerror(errno) + "）");
    if (!isPlainLockFile(fd)) {
        ::close(fd);
        return Error::fileAccess(file,
                                 "它不是程序的普通锁文件（可能是链接、管道或设备），"
                                 "请删除它后再试");
    }
    if (::flock(fd, (writable ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
        int why = errno;
        std::string text(kMaxHolderBytes, '\0');
        ssize_t got = ::pread(fd, text.data(), text.size(), 0);
        ::close(fd);
        if (why != EWOULDBLOCK)
            return Error::fileAccess(file,
                                     std::string("无法锁定锁文件（") + std::strerror(why) + "）");
        text.resize(got > 0 ? static_cast<size_t>(got) : 0);
        return Error::busy(holderOrSomeone(text));
    }
    FolderLock lock;
    lock.fd_ = fd;
    lock.named_ = writable;
    if (!writable) return lock;
    const std::string text = holderText(holderName, static_cast<long>(::getpid()));
    // The name is a courtesy to a refused caller; the lock holds without it.
    [[maybe_unused]] bool named =
        ::ftruncate(fd, 0) == 0 &&
        ::pwrite(fd, text.data(), text.size(), 0) == static_cast<ssize_t>(text.size());
    return lock;
}

void FolderLock::release() {
    if (fd_ < 0) return;
    // The file stays: were it removed, a process that opened it just before
    // could still lock the old file while a newcomer locks a new one.
    [[maybe_unused]] bool cleared = !named_ || ::ftruncate(fd_, 0) == 0;
    ::flock(fd_, LOCK_UN);
    ::close(fd_);
    fd_ = -1;
}

bool FolderLock::held() const {
    return fd_ >= 0;
}

FolderLock::FolderLock(FolderLock&& o) noexcept : fd_(o.fd_), named_(o.named_) {
    o.fd_ = -1;
}

FolderLock& FolderLock::operator=(FolderLock&& o) noexcept {
    if (this != &o) {
        release();
        fd_ = o.fd_;
        named_ = o.named_;
        o.fd_ = -1;
    }
    return *this;
}

#endif

FolderLock::~FolderLock() {
    release();
}

}  // namespace tabrovin
