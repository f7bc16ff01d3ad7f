#pragma once
// One action at a time per program folder, across windows and batch runs: an
// exclusive operating-system lock on a file in the folder. The system drops
// the lock when its holder ends, even when it is killed, so no stale lock
// ever needs clearing by hand.

#include <filesystem>
#include <string>

#include "base/error.h"

namespace tabrovin {

class FolderLock {
  public:
    // The lock file inside the folder handed to acquire().
    static constexpr const char* kFileName = ".tabrovin.lock";

    // Takes the lock on `folder`/.tabrovin.lock without waiting, and writes
    // who holds it ("holderName（进程 1234）") into the file so that a refused
    // caller can name the holder. Refused at once with Error::busy naming
    // the holder while another FolderLock holds it, in this process or another.
    static Result<FolderLock> acquire(const std::filesystem::path& folder,
                                      const std::string& holderName);

    FolderLock(FolderLock&& o) noexcept;
    FolderLock& operator=(FolderLock&& o) noexcept;
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    // Releases the lock.
    ~FolderLock();

    bool held() const;

  private:
    FolderLock() = default;
    void release();
#ifdef _WIN32
    void* handle_ = nullptr;  // HANDLE; null when not held
#else
    int fd_ = -1;
#endif
};

}  // namespace tabrovin
