// Whole-file copies of a database (taking a snapshot and putting it back),
// and small files replaced whole in the same way.

#ifdef _WIN32
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include <cstdio>
#include <functional>

#include "platform/database.h"
#include "platform/safe_files.h"

namespace tabrovin {
namespace {

namespace fs = std::filesystem;

fs::path withSuffix(const fs::path& p, const char* suffix) {
    fs::path s = p;
    s += suffix;
    return s;
}

// Flushes a file (or, on POSIX, a folder's entries) to the disk.
bool syncToDisk(const fs::path& p, bool folder) {
#ifdef _WIN32
    if (folder) return true;  // NTFS makes a rename durable with the file's own flush
    FILE* f = _wfopen(p.c_str(), L"r+b");
    if (!f) return false;
    bool ok = _commit(_fileno(f)) == 0;
    std::fclose(f);
    return ok;
#else
    int fd = ::open(p.c_str(), (folder ? O_RDONLY | O_DIRECTORY : O_RDWR) | O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
#endif
}

// The files SQLite keeps beside a database while it is changed. One that
// stays would be rolled into the new copy, so failing to remove it fails.
Status removeCompanions(const fs::path& db) {
    for (const char* suffix : {"-journal", "-wal", "-shm"}) {
        std::error_code ec;
        fs::remove(withSuffix(db, suffix), ec);
        if (ec)
            return Error::fileAccess(withSuffix(db, suffix),
                                     "无法删除旧的数据库日志文件，它可能被其他程序占用");
    }
    return Status::Ok();
}

enum class Sync { Yes, No };

// Has `write` fill a new temporary file beside `to`, syncs it when asked, and
// renames it over `to`: readers of `to` see the old file or the new one,
// never a mix. The temporary file is made new, so a link placed at its name
// is never written through, and it takes the program's own file mode.
// `beforeRename`, when given, runs once the new file is whole.
Status replaceWhole(const fs::path& to, const std::function<bool(FreshFile& tmp)>& write,
                    Sync sync = Sync::Yes, const std::function<void()>& beforeRename = {}) {
    const fs::path tmp = withSuffix(to, ".tmp");
    auto file = FreshFile::create(tmp);
    if (!file) return file.error();
    if (!write(*file) || !file->finish(sync == Sync::Yes))
        return Error::fileAccess(to, "无法写入副本，请检查磁盘空间和文件夹的写入权限");
    if (beforeRename) beforeRename();
    std::error_code ec;
    fs::rename(tmp, to, ec);
    if (ec) {
        fs::remove(tmp, ec);
        return Error::fileAccess(to, "无法替换文件（" + ec.message() + "）");
    }
    if (sync == Sync::Yes)
        syncToDisk(to.parent_path().empty() ? fs::path(".") : to.parent_path(), true);
    return Status::Ok();
}

Status copyOver(const fs::path& from, const fs::path& to, Sync sync,
                const std::function<void()>& beforeRename = {}) {
    TABROVIN_TRY(removeCompanions(to));  // none may be replayed onto the new file
    return replaceWhole(
        to, [&](FreshFile& tmp) { return tmp.copyFrom(from); }, sync, beforeRename);
}

}  // namespace

Status replaceFileText(const fs::path& file, std::string_view text) {
    TABROVIN_TRY(refuseProtected(file));
    return replaceWhole(file, [&](FreshFile& tmp) { return tmp.write(text); });
}

Status copyDatabase(const fs::path& from, const fs::path& to) {
    Database db;
    TABROVIN_TRY(db.open(from));
    // A read transaction keeps writers out while the bytes are copied, and
    // opening it first rolls back any journal an interrupted writer left.
    TABROVIN_TRY(db.begin());
    TABROVIN_TRY(db.run({"SELECT count(*) FROM sqlite_master", {}}));
    // Not synced: the copy is no one's only data, and syncing it would cost
    // more than a tenth of the step it protects. A copy that a crash left
    // damaged is refused by checkSnapshot before it could be put back.
    auto file = FreshFile::create(to);
    bool copied = file && file->copyFrom(from) && file->finish(false);
    (void)db.rollback();  // only a read ended: nothing to keep or lose
    if (!file) return file.error();
    if (!copied) return Error::fileAccess(to, "无法写入副本，请检查磁盘空间和文件夹的写入权限");
    return Status::Ok();
}

Status moveOver(const fs::path& from, const fs::path& to) {
    // The old file is removed, not renamed over: renamed over, some file
    // systems (ext4) write the new one out at the next sync of any file,
    // which costs a step as much as syncing the copy. Should it stay, the
    // rename says why.
    std::error_code ec;
    fs::remove(to, ec);
    fs::rename(from, to, ec);
    if (ec) return Error::fileAccess(to, "无法替换文件（" + ec.message() + "）");
    return Status::Ok();
}

Status snapshotDatabase(const fs::path& from, const fs::path& to,
                        const std::function<void()>& beforeReplace) {
    const fs::path tmp = withSuffix(to, ".tmp");
    TABROVIN_TRY(copyDatabase(from, tmp));
    if (beforeReplace) beforeReplace();
    Status moved = moveOver(tmp, to);
    std::error_code ec;
    if (!moved.ok()) fs::remove(tmp, ec);
    return moved;
}

Status restoreDatabase(const fs::path& snapshot, const fs::path& target) {
    std::error_code ec;
    if (!fs::is_regular_file(snapshot, ec)) return Error::fileNotFound(snapshot);
    TABROVIN_TRY(refuseProtected(target));
    {
        // Opening the target rolls back a journal left by a crash, so that
        // removing that journal below cannot lose a consistent state. A
        // damaged target is about to be replaced and needs no care.
        Database old;
        // Whether that works or not, the copy below replaces the file.
        if (old.open(target).ok()) (void)old.run({"SELECT count(*) FROM sqlite_master", {}});
    }
    return copyOver(snapshot, target, Sync::Yes);
}

}  // namespace tabrovin
