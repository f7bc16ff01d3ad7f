#pragma once
// The working database: one SQLite connection with the handful of operations
// the actions need. Values and keywords always travel as bound parameters.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.h"

struct sqlite3;
struct sqlite3_stmt;

namespace tabrovin {

// A statement text with its bound text parameters (?1, ?2, ...).
struct Statement {
    std::string text;
    std::vector<std::string> params;
};

class Database;

// Owns a compiled statement of a connection: moved, never copied, finalized
// when it goes.
class StatementHandle {
  protected:
    StatementHandle() = default;
    StatementHandle(Database* db, sqlite3_stmt* stmt) : db_(db), stmt_(stmt) {}
    StatementHandle(StatementHandle&& o) noexcept;
    StatementHandle& operator=(StatementHandle&& o) noexcept;
    ~StatementHandle();

    Database* db_ = nullptr;
    sqlite3_stmt* stmt_ = nullptr;
};

// A statement compiled once and run many times, e.g. one insert per row.
class PreparedStatement : private StatementHandle {
  public:
    PreparedStatement() = default;

    // Binds `params` in order and runs the statement to completion.
    Status run(const std::vector<std::string>& params);
    // The same with whole numbers, e.g. an id per run.
    Status runNumbers(const std::vector<int64_t>& params);

  private:
    friend class Database;
    using StatementHandle::StatementHandle;
};

// A read statement walked one row at a time, for tables too big to hold.
// The row's texts stay valid until the next call to next().
class RowCursor : private StatementHandle {
  public:
    RowCursor() = default;

    // Moves to the next row: true when there is one, false at the end.
    Result<bool> next();
    int64_t number(int column) const;
    // The column's storage class: SQLITE_TEXT, SQLITE_NULL, ... (as in sqlite3.h).
    int type(int column) const;
    std::string_view text(int column) const;

  private:
    friend class Database;
    using StatementHandle::StatementHandle;
};

class Database {
  public:
    // ReadWrite for the steps that change wen; ReadOnly for those that only
    // read (export, checks): any write is refused and the file is mapped into
    // memory for faster reading.
    enum class Mode { ReadWrite, ReadOnly };
    // How long a statement waits for another connection's lock before it
    // reports the database as locked.
    static constexpr std::chrono::milliseconds kBusyWait{5000};

    Database() = default;
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Opens the existing file at `path`, releasing any previous connection
    // first. A missing file is err::kFileNotFound: the database is never
    // created here, only copied from its template. A file that is not a
    // database says so; a locked or unreadable one gets the engine's error.
    // A journal left by a writer that died is rolled back first, also for
    // a read-only connection.
    Status open(const std::filesystem::path& path, Mode mode = Mode::ReadWrite,
                std::chrono::milliseconds busyWait = kBusyWait);
    // Closes the connection, if any, so the file can be replaced.
    void release();
    bool isOpen() const { return db_ != nullptr; }
    // The file this connection was opened on.
    const std::filesystem::path& path() const { return path_; }

    // Runs a statement to completion; its change is in the file on return
    // unless a transaction is open.
    Status run(const Statement& s);
    // The first column of the first row as a 32-bit number; a null, no row
    // or a value outside 32 bits is an error.
    Result<int32_t> readNumber(const Statement& s);
    // Like readNumber, but a null or no row gives std::nullopt.
    Result<std::optional<int64_t>> readOptionalNumber(const Statement& s);

    // Every result row's columns as texts (a null as ""), appended to `flat`
    // row after row; `columns` receives the column count.
    Status readTexts(const Statement& s, std::vector<std::string>& flat, int& columns);

    Result<PreparedStatement> prepare(const std::string& text);
    // Starts walking the result rows of `s`.
    Result<RowCursor> query(const Statement& s);

    // Groups many statements into one commit, for speed; nothing else.
    Status begin();
    // Starts a transaction that holds the write lock from the start, so that
    // what it reads cannot change before it writes.
    Status beginWrite();
    Status commit();
    Status rollback();

    // Turns SQLite's current error into an Error (Error::database).
    Error lastError() const;

    // The connection itself, for the few engine calls not wrapped here
    // (backup, limits). Null when closed.
    sqlite3* handle() const { return db_; }

  private:
    Status openFile(const std::filesystem::path& path, Mode mode,
                    std::chrono::milliseconds busyWait, bool mayRecover);
    Result<sqlite3_stmt*> compile(const Statement& s, bool copyParams = false);
    sqlite3* db_ = nullptr;
    std::filesystem::path path_;
};

// Copies the database `from` to `to` as it stands after its last commit,
// replacing `to` only once the copy is whole, right after `beforeReplace`
// runs. The copy is not synced to disk: after a crash check it with
// checkSnapshot. No connection may be writing `from`.
Status snapshotDatabase(const std::filesystem::path& from, const std::filesystem::path& to,
                        const std::function<void()>& beforeReplace = {});

// Copies the database `from` into the new file `to` (made new: never an
// existing file or a link) as it stands after its last commit. Not synced.
Status copyDatabase(const std::filesystem::path& from, const std::filesystem::path& to);

// Renames `from` over `to`, removing `to` first. err::kFileAccess on failure.
Status moveOver(const std::filesystem::path& from, const std::filesystem::path& to);

// Puts the copy `snapshot` back over `target`, with the same guarantees, and
// leaves no journal beside `target` that could be replayed onto the restored
// file. A `target` the user made read-only is refused, not replaced.
// Release every connection to `target` first.
Status restoreDatabase(const std::filesystem::path& snapshot, const std::filesystem::path& target);

// Replaces `file` by one holding `text`, with the same guarantees: a crash
// leaves the old content or the new, never a mix. err::kFileAccess on failure.
Status replaceFileText(const std::filesystem::path& file, std::string_view text);

}  // namespace tabrovin
