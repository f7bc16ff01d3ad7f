// The working database's connection: its settings, the errors users see, the
// template check and whole-file snapshots, each on a real SQLite file.
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/database.h"
#include "tests/support/raw_database.h"
#include "tests/support/test_support.h"

using namespace tabrovin;
namespace tt = tabrovin::testing;
namespace fs = std::filesystem;

using tt::blankTemplate;
using tt::rawSql;

namespace {

// A fresh copy of the blank template.
fs::path freshDb(const tt::TempDir& dir, const std::string& name = "data.mdb") {
    fs::path p = dir / name;
    fs::copy_file(blankTemplate(), p, fs::copy_options::overwrite_existing);
    return p;
}

std::string firstText(Database& db, const std::string& sql) {
    std::vector<std::string> rows;
    int n = 0;
    EXPECT_TRUE(db.readTexts({sql, {}}, rows, n).ok()) << sql;
    return rows.empty() ? std::string() : rows[0];
}

void expectMessage(const Status& st, int primary, const std::string& advice,
                   const std::string& engineText) {
    ASSERT_FALSE(st.ok());
    EXPECT_EQ(st.error().number, err::kDatabaseBase + primary);
    const std::string& d = st.error().description;
    EXPECT_NE(d.find(advice), std::string::npos) << d;
    EXPECT_NE(d.find("（" + engineText + "）"), std::string::npos) << d;
    EXPECT_EQ(d.find("不是可用的数据库"), std::string::npos) << d;
}

}  // namespace

TEST(DatabaseSettings, AReaderRefusesWrites) {
    tt::TempDir dir;
    Database db;
    ASSERT_TRUE(db.open(freshDb(dir), Database::Mode::ReadOnly).ok());
    expectMessage(db.run({"insert into wen (a0) values ('x')", {}}), SQLITE_READONLY, "只读",
                  "attempt to write a readonly database");
}

TEST(DatabaseSettings, AKilledWriterLeavesTheLastCommittedStepWhole) {
    tt::TempDir dir;
    fs::path file = freshDb(dir);
    rawSql(file, "insert into wen (a0) values ('committed')");
    pid_t child = ::fork();
    if (child == 0) {
        // A step half done, with pages already spilled into the file itself.
        Database db;
        if (!db.open(file).ok() || !db.run({"PRAGMA cache_size=10", {}}).ok()) _exit(1);
        if (!db.beginWrite().ok()) _exit(1);
        for (int i = 0; i < 3000; ++i)
            if (!db.run({"insert into wen (a0) values (?1)", {std::string(1000, 'h')}}).ok())
                _exit(1);
        ::kill(::getpid(), SIGKILL);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_GT(fs::file_size(file), 1000000u);  // the half step did reach the file
    // Even a reader (the export) gets the file as the last commit left it.
    Database db;
    ASSERT_TRUE(db.open(file, Database::Mode::ReadOnly).ok());
    EXPECT_EQ(firstText(db, "select group_concat(a0) from wen"), "committed");
    EXPECT_EQ(firstText(db, "PRAGMA quick_check"), "ok");
}

TEST(DatabaseErrors, LockHeldByAnotherConnectionIsReportedAsBusyNotAsDamage) {
    tt::TempDir dir;
    fs::path file = freshDb(dir);
    Database holder;
    ASSERT_TRUE(holder.open(file).ok());
    ASSERT_TRUE(holder.run({"BEGIN EXCLUSIVE", {}}).ok());
    Database other;
    expectMessage(other.open(file, Database::Mode::ReadWrite, std::chrono::milliseconds(50)),
                  SQLITE_BUSY, "正被其他程序使用", "database is locked");
    ASSERT_TRUE(holder.rollback().ok());

    // A pending write: reading still works, writing waits and then gives up.
    ASSERT_TRUE(holder.beginWrite().ok());
    ASSERT_TRUE(holder.run({"insert into wen (a0) values ('x')", {}}).ok());
    ASSERT_TRUE(other.open(file, Database::Mode::ReadWrite, std::chrono::milliseconds(50)).ok());
    expectMessage(other.run({"insert into wen (a0) values ('y')", {}}), SQLITE_BUSY,
                  "正被其他程序使用", "database is locked");
    ASSERT_TRUE(holder.commit().ok());
    EXPECT_EQ(*other.readNumber({"select count(*) from wen", {}}), 1);
}

TEST(DatabaseErrors, FullDiskAndOverlongKeywordSayWhatToDo) {
    tt::TempDir dir;
    Database db;
    ASSERT_TRUE(db.open(freshDb(dir)).ok());
    // The engine refuses LIKE patterns over 50,000 bytes, once it meets a row.
    ASSERT_TRUE(db.run({"insert into wen (a0) values ('x')", {}}).ok());
    expectMessage(
        db.run({"delete from wen where a0 like '%' || ?1 || '%'", {std::string(60000, 'k')}}),
        SQLITE_ERROR, "关键字太长", "LIKE or GLOB pattern too complex");

    std::string pages = firstText(db, "PRAGMA page_count");
    ASSERT_EQ(firstText(db, "PRAGMA max_page_count=" + pages), pages);
    expectMessage(db.run({"insert into wen (a0) values (?1)", {std::string(100000, 'x')}}),
                  SQLITE_FULL, "磁盘已满", "database or disk is full");
}

TEST(DatabaseErrors, OnlyAFileThatIsNoDatabaseIsCalledUnusableAndItIsLeftAlone) {
    tt::TempDir dir;
    Database db;
    EXPECT_TRUE(tt::failsWith(db.open(dir / "missing.mdb"), err::kFileNotFound, "missing.mdb"));
    const std::string text = std::string(200, 't');
    tt::writeFile(dir / "text.mdb", text);
    EXPECT_TRUE(tt::failsWith(db.open(dir / "text.mdb"), err::kDatabaseBase + SQLITE_NOTADB,
                              "不是可用的数据库"));
    EXPECT_FALSE(db.isOpen());
    EXPECT_EQ(tt::readFile(dir / "text.mdb"), text);
}

TEST(Snapshot, RestoreBringsBackTheTakenStateAndLeavesNoJournal) {
    tt::TempDir dir;
    fs::path live = freshDb(dir), copy = dir / "undo.mdb";
    rawSql(live, "insert into wen (a0) values ('kept'),('also kept')");
    ASSERT_TRUE(snapshotDatabase(live, copy).ok());
    rawSql(live, "delete from wen; insert into wen (a0) values ('later')");
    // A journal left behind by some other run must not be replayed onto the copy.
    tt::writeFile(dir / "data.mdb-journal", std::string(4096, '\x7f'));
    ASSERT_TRUE(restoreDatabase(copy, live).ok());
    EXPECT_FALSE(fs::exists(dir / "data.mdb-journal"));
    EXPECT_FALSE(fs::exists(dir / "data.mdb.tmp"));
    Database db;
    ASSERT_TRUE(db.open(live).ok());
    EXPECT_EQ(firstText(db, "select group_concat(a0, '|') from (select a0 from wen order by id)"),
              "kept|also kept");
    EXPECT_EQ(firstText(db, "PRAGMA quick_check"), "ok");
    EXPECT_EQ(restoreDatabase(dir / "nothing.mdb", live).error().number, err::kFileNotFound);
}
