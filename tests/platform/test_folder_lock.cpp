// One action per program folder: the lock is refused at once while held, by
// this process or another, names its holder, and dies with its holder.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/folder_lock.h"
#include "tests/support/test_support.h"

using namespace tabrovin;
namespace tt = tabrovin::testing;

namespace {

std::string holderOf(pid_t pid, const std::string& name) {
    return "“" + name + "”（进程 " + std::to_string(pid) + "）";
}

}  // namespace

TEST(FolderLock, SecondHolderInTheSameProcessIsRefusedAndTold) {
    tt::TempDir dir;
    auto first = FolderLock::acquire(dir.path(), "tabrovin-batch import");
    ASSERT_TRUE(first.ok());
    EXPECT_TRUE(tt::failsWith(FolderLock::acquire(dir.path(), "窗口"), err::kBusy,
                              holderOf(::getpid(), "tabrovin-batch import")));

    // Moving hands the lock over; assigning over a held lock releases that one.
    FolderLock moved = std::move(*first);
    EXPECT_TRUE(moved.held());
    EXPECT_FALSE(FolderLock::acquire(dir.path(), "窗口").ok());
    tt::TempDir other;
    auto elsewhere = FolderLock::acquire(other.path(), "窗口");
    ASSERT_TRUE(elsewhere.ok());
    moved = std::move(*elsewhere);
    EXPECT_FALSE(FolderLock::acquire(other.path(), "窗口").ok());
    auto third = FolderLock::acquire(dir.path(), "窗口");
    ASSERT_TRUE(third.ok());
    EXPECT_TRUE(third->held());
    EXPECT_TRUE(tt::failsWith(FolderLock::acquire(dir / "nowhere", "窗口"), err::kPathNotFound));
}

TEST(FolderLock, AnotherProcessIsRefusedUntilTheHolderIsKilled) {
    tt::TempDir dir;
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    pid_t child = ::fork();
    if (child == 0) {
        auto lock = FolderLock::acquire(dir.path(), "tabrovin-batch dedupe");
        char c = lock.ok() ? 'y' : 'n';
        if (::write(ready[1], &c, 1) != 1) _exit(2);
        for (;;) ::pause();
    }
    char c = 0;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    ASSERT_EQ(c, 'y');
    EXPECT_TRUE(tt::failsWith(FolderLock::acquire(dir.path(), "窗口"), err::kBusy,
                              holderOf(child, "tabrovin-batch dedupe")));

    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ::close(ready[0]);
    ::close(ready[1]);
    EXPECT_TRUE(FolderLock::acquire(dir.path(), "窗口").ok());
}
