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

    // What the step that takes the lock does to the folder. A step that only
    // reads still works in a folder it cannot write (a CD, a read-only
    // share): it locks the file read-only, or, where there is none, goes on
    // without a lock, since no one can change that folder.
    enum class Use { Change, Read };

    // Takes the lock on `folder`/.tabrovin.lock without waiting, and writes
    // who holds it ("holderName（进程 1234）") into the file so that a refused
    // caller can name the holder. Refused at once with Error::busy naming
    // the holder while another FolderLock holds it, in this process or another.
    // The file is opened without following a link and without truncating;
    // one that is no plain file (a link, a pipe, a second name of another
    // file) is refused.
    static Result<FolderLock> acquire(const std::filesystem::path& folder,
                                      const std::string& holderName, Use use = Use::Change);

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
    bool named_ = false;  // the holder's name was written and is cleared on release
#endif
};

}  // namespace tabrovin
