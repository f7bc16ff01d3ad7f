// The program folder's own files when something else lies at their names:
// links are never written through, copies get the program's own mode, a
// protected file is refused, pipes are never waited on, and a folder that
// cannot be written still serves the steps that only read.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/database.h"
#include "platform/folder_lock.h"
#include "platform/safe_files.h"
#include "tests/support/test_support.h"

using namespace tabrovin;
namespace tt = tabrovin::testing;
namespace fs = std::filesystem;

namespace {

class ProgramFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        data = tt::makeProgramFolder(dir.path()) / "data";
        fs::copy_file(data / "B.mdb", data / "data.mdb", fs::copy_options::overwrite_existing);
        tt::writeFile(outside, "the user's own file");
    }
    // Places a link at `name` in data/ pointing at the file outside.
    void linkAt(const std::string& name) {
        fs::remove(data / name);
        fs::create_symlink(outside, data / name);
    }
    bool outsideIntact() { return tt::readFile(outside) == "the user's own file"; }

    tt::TempDir dir, elsewhere;
    fs::path data, outside = elsewhere / "precious.txt";
};

// Runs `body` in a child process; its exit code, or -1.
int inChild(const std::function<int()>& body) {
    pid_t pid = ::fork();
    if (pid == 0) ::_exit(body());
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The same as the user nobody, where root would pass every permission check.
int asOrdinaryUser(const std::function<int()>& body) {
    return inChild([&] {
        if (::getuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) return 99;
        return body();
    });
}

}  // namespace

TEST_F(ProgramFiles, LinksAtFixedNamesAreNeverWrittenThrough) {
    for (const char* tmp : {"ini.txt.tmp", "data.mdb.tmp", "undo.mdb.tmp"}) {
        SCOPED_TRACE(tmp);
        linkAt(tmp);
        if (std::string(tmp) == "ini.txt.tmp")
            EXPECT_TRUE(replaceFileText(data / "ini.txt", "名\r\n").ok());
        else if (std::string(tmp) == "data.mdb.tmp")
            EXPECT_TRUE(restoreDatabase(data / "B.mdb", data / "data.mdb").ok());
        else
            EXPECT_TRUE(snapshotDatabase(data / "data.mdb", data / "undo.mdb").ok());
        EXPECT_TRUE(outsideIntact());
    }
    EXPECT_EQ(tt::readFile(data / "ini.txt"), "名\r\n");
    // The lock would have truncated the file and written its holder into it.
    for (bool hardLink : {false, true}) {
        fs::remove(data / FolderLock::kFileName);
        if (hardLink)
            fs::create_hard_link(outside, data / FolderLock::kFileName);
        else
            linkAt(FolderLock::kFileName);
        for (auto use : {FolderLock::Use::Change, FolderLock::Use::Read})
            EXPECT_TRUE(tt::failsWith(FolderLock::acquire(data, "rows", use), err::kFileAccess));
        EXPECT_TRUE(outsideIntact());
    }
}

TEST_F(ProgramFiles, CopiesGetTheProgramsModeAndProtectedFilesAreRefused) {
    // As installed from a CD or unpacked from an archive.
    fs::permissions(data / "B.mdb", fs::perms::owner_read | fs::perms::group_read);
    ASSERT_TRUE(restoreDatabase(data / "B.mdb", data / "data.mdb").ok());
    EXPECT_NE(fs::status(data / "data.mdb").permissions() & fs::perms::owner_write,
              fs::perms::none);
    ASSERT_TRUE(snapshotDatabase(data / "data.mdb", data / "undo.mdb").ok());
    ASSERT_TRUE(restoreDatabase(data / "undo.mdb", data / "data.mdb").ok());

    // The user protected the working file: it is refused, saying why.
    tt::writeFile(data / "ini.txt", "旧\r\n");
    for (const char* name : {"data.mdb", "ini.txt"})
        fs::permissions(data / name, fs::perms::owner_read);
    auto refused = restoreDatabase(data / "B.mdb", data / "data.mdb");
    EXPECT_TRUE(tt::failsWith(refused, err::kFileAccess, "只读"));
    EXPECT_TRUE(
        tt::failsWith(replaceFileText(data / "ini.txt", "新\r\n"), err::kFileAccess, "只读"));
    EXPECT_EQ(tt::readFile(data / "ini.txt"), "旧\r\n");
}

TEST_F(ProgramFiles, PipesAreRefusedWithoutWaiting) {
    const fs::path fifo = data / "ini.txt";
    fs::remove(fifo);
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    tt::PipeWatch watch(fifo);
    EXPECT_TRUE(tt::failsWith(readRegularFile(fifo, 100), err::kFileAccess));
    EXPECT_FALSE(watch.waited());
}

// A file opened while the caller's standard output is closed would take its
// number and receive what is printed.
TEST_F(ProgramFiles, ClosedStandardStreamsGetStandIns) {
    const int rc = inChild([&] {
        ::close(1);
        if (!standInForClosedStreams() || standInForClosedStreams()) return 1;
        const int fd = ::open((data / "ini.txt").c_str(), O_RDONLY);
        return fd > 2 ? 0 : 2;
    });
    EXPECT_EQ(rc, 0);
}

// A folder on a CD or a read-only share: reading steps go on, changing ones
// are refused. Run as nobody, since root may write anywhere.
TEST_F(ProgramFiles, AReadOnlyFolderStillServesReadingSteps) {
    fs::permissions(dir.path(), fs::perms::all);
    fs::permissions(dir.path().parent_path(), fs::perms::others_exec, fs::perm_options::add);
    for (bool lockFileThere : {false, true}) {
        SCOPED_TRACE(lockFileThere);
        if (!lockFileThere) fs::remove(data / FolderLock::kFileName);
        if (lockFileThere) tt::writeFile(data / FolderLock::kFileName, "");
        fs::permissions(data, fs::perms::owner_read | fs::perms::owner_exec |
                                  fs::perms::others_read | fs::perms::others_exec);
        int rc = asOrdinaryUser([&] {
            auto read = FolderLock::acquire(data, "rows", FolderLock::Use::Read);
            if (!read) return 1;
            Database db;
            if (!db.open(data / "data.mdb", Database::Mode::ReadOnly).ok()) return 2;
            if (FolderLock::acquire(data, "dedupe").ok()) return 3;
            return 0;
        });
        fs::permissions(data, fs::perms::owner_all);
        EXPECT_EQ(rc, 0);
    }
}
