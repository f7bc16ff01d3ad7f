#include "platform/database.h"

#include <sqlite3.h>

#include <cassert>
#include <functional>
#include <limits>
#include <set>

#include "platform/file_names.h"

namespace tabrovin {
namespace {

// The texts stay alive until the statement has run, so SQLite need not copy
// them; a cursor outlives its statement's texts and has them copied.
int bindAll(sqlite3_stmt* stmt, const std::vector<std::string>& params,
            sqlite3_destructor_type keep = SQLITE_STATIC) {
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    for (size_t i = 0; i < params.size(); ++i) {
        int rc = sqlite3_bind_text(stmt, static_cast<int>(i + 1), params[i].data(),
                                   static_cast<int>(params[i].size()), keep);
        if (rc != SQLITE_OK) return rc;
    }
    return SQLITE_OK;
}

struct Finalize {
    sqlite3_stmt* s;
    ~Finalize() { sqlite3_finalize(s); }
};

}  // namespace

StatementHandle::StatementHandle(StatementHandle&& o) noexcept : db_(o.db_), stmt_(o.stmt_) {
    o.stmt_ = nullptr;
}

StatementHandle& StatementHandle::operator=(StatementHandle&& o) noexcept {
    if (this != &o) {
        sqlite3_finalize(stmt_);
        db_ = o.db_;
        stmt_ = o.stmt_;
        o.stmt_ = nullptr;
    }
    return *this;
}

StatementHandle::~StatementHandle() {
    sqlite3_finalize(stmt_);
}

Status PreparedStatement::run(const std::vector<std::string>& params) {
    assert(stmt_ && db_);
    if (bindAll(stmt_, params) != SQLITE_OK || sqlite3_step(stmt_) != SQLITE_DONE) {
        Error e = db_->lastError();
        sqlite3_reset(stmt_);
        return e;
    }
    return Status::Ok();
}

Status PreparedStatement::runNumbers(const std::vector<int64_t>& params) {
    assert(stmt_ && db_);
    sqlite3_reset(stmt_);
    int rc = SQLITE_OK;
    for (size_t i = 0; i < params.size() && rc == SQLITE_OK; ++i)
        rc = sqlite3_bind_int64(stmt_, static_cast<int>(i + 1), params[i]);
    if (rc != SQLITE_OK || sqlite3_step(stmt_) != SQLITE_DONE) {
        Error e = db_->lastError();
        sqlite3_reset(stmt_);
        return e;
    }
    return Status::Ok();
}

Result<bool> RowCursor::next() {
    assert(stmt_ && db_);
    int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    return db_->lastError();
}

int64_t RowCursor::number(int column) const {
    return sqlite3_column_int64(stmt_, column);
}

int RowCursor::type(int column) const {
    return sqlite3_column_type(stmt_, column);
}

std::string_view RowCursor::text(int column) const {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    return p ? std::string_view(p, sqlite3_column_bytes(stmt_, column)) : std::string_view();
}

Database::~Database() {
    release();
}

void Database::release() {
    if (db_) sqlite3_close_v2(db_);
    db_ = nullptr;
}

namespace {

// Every connection setting, in one place. The file must survive a crash or
// power loss with each completed step in it, and another process (a second
// window, the batch command) must only ever see committed data.
Status configure(sqlite3* db, Database::Mode mode) {
    const char* common =
        // 8 MB of page cache holds the pages an insert is filling and the
        // table's inner pages. More only costs allocations and page faults
        // as it fills: with 64 MB, deleting from 300,000 rows took 40% longer
        // and a million-row import peaked at 77 MB instead of 19 MB. Pages
        // that spill to the file before a commit are safe: the journal
        // holding their old content is synced first.
        "PRAGMA cache_size=-8192;"
        // Debian builds SQLite with secure_delete on: every freed page is
        // overwritten with zeros on disk, so emptying a million-row wen takes
        // 2.5 s instead of 1 s. The working table holds the user's own
        // worksheet, nothing to hide from the user.
        "PRAGMA secure_delete=OFF;";
    const char* readWrite =
        // A rollback journal rather than WAL: WAL needs shared memory, which
        // fails on network folders, and leaves -wal/-shm files that must
        // never meet a template copied over data.mdb. TRUNCATE ends a commit
        // by emptying the journal and syncing it, so with synchronous=FULL a
        // commit is on disk when it returns, without relying on the folder's
        // entry of a deleted journal reaching the disk. Callers commit once
        // per step (or per large batch): each commit costs a few syncs.
        "PRAGMA journal_mode=TRUNCATE;"
        "PRAGMA synchronous=FULL;";
    const char* readOnly =
        // Reading through a memory map saves copying every page into the
        // cache (a third off reading a million rows). Only connections that
        // never write use it: a read error under a map cannot be reported,
        // the system stops the program instead, which must never happen
        // halfway through a change.
        "PRAGMA mmap_size=268435456;";
    std::string all =
        std::string(common) + (mode == Database::Mode::ReadOnly ? readOnly : readWrite);
    if (sqlite3_exec(db, all.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
        return Error::database(sqlite3_extended_errcode(db), sqlite3_errmsg(db));
    return Status::Ok();
}

// Only these codes say the file itself is not a database; a lock, a full disk
// or a permission problem is reported as what it is.
bool meansNotADatabase(int code) {
    int primary = code & 0xFF;
    return primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT;
}

}  // namespace

Status Database::open(const std::filesystem::path& path, Mode mode,
                      std::chrono::milliseconds busyWait) {
    return openFile(path, mode, busyWait, true);
}

Status Database::openFile(const std::filesystem::path& path, Mode mode,
                          std::chrono::milliseconds busyWait, bool mayRecover) {
    release();
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return Error::fileNotFound(path);
    path_ = path;
    sqlite3* db = nullptr;
    // A connection is used by one thread at a time (a step runs on one
    // worker; the window's view of the table has its own), so the engine's
    // lock around every call only costs: a tenth of an export's work.
    int flags = (mode == Mode::ReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) |
                SQLITE_OPEN_NOMUTEX;
    int rc = sqlite3_open_v2(utf8FromPath(path).c_str(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        std::string msg = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
        sqlite3_close_v2(db);
        return Error::database(rc, msg);
    }
    db_ = db;
    sqlite3_extended_result_codes(db_, 1);
    sqlite3_busy_timeout(db_, static_cast<int>(busyWait.count()));
    // Reading the schema proves the file is a database and not, say, a text
    // file; the pragmas after it would otherwise fail with a vaguer error.
    Status probe = run({"SELECT count(*) FROM sqlite_master", {}});
    if (probe.ok()) probe = configure(db_, mode);
    if (!probe.ok()) {
        int code = sqlite3_extended_errcode(db_);
        std::string engineText = sqlite3_errmsg(db_);
        release();
        if (meansNotADatabase(code)) return Error::damagedDatabase(path, code, engineText);
        if (code == SQLITE_READONLY_ROLLBACK && mayRecover) {
            // A writer stopped mid-step and left its journal, which only a
            // writable connection may roll back before the file can be read.
            TABROVIN_TRY(openFile(path, Mode::ReadWrite, busyWait, false));
            release();
            return openFile(path, mode, busyWait, false);
        }
        return probe.error();
    }
    return Status::Ok();
}

Error Database::lastError() const {
    if (!db_) return Error::database(SQLITE_MISUSE, "数据库没有打开");
    return Error::database(sqlite3_extended_errcode(db_), sqlite3_errmsg(db_));
}

Result<sqlite3_stmt*> Database::compile(const Statement& s, bool copyParams) {
    if (!db_) return lastError();
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db_, s.text.c_str(), -1, &stmt, nullptr) != SQLITE_OK)
        return lastError();
    if (bindAll(stmt, s.params, copyParams ? SQLITE_TRANSIENT : SQLITE_STATIC) != SQLITE_OK) {
        Error e = lastError();
        sqlite3_finalize(stmt);
        return e;
    }
    return stmt;
}

Status Database::run(const Statement& s) {
    auto stmt = compile(s);
    if (!stmt) return stmt.error();
    Finalize f{*stmt};
    int rc;
    while ((rc = sqlite3_step(*stmt)) == SQLITE_ROW) {
    }
    return rc == SQLITE_DONE ? Status::Ok() : Status(lastError());
}

Result<std::optional<int64_t>> Database::readOptionalNumber(const Statement& s) {
    auto stmt = compile(s);
    if (!stmt) return stmt.error();
    Finalize f{*stmt};
    int rc = sqlite3_step(*stmt);
    if (rc == SQLITE_DONE) return std::optional<int64_t>();
    if (rc != SQLITE_ROW) return lastError();
    if (sqlite3_column_type(*stmt, 0) == SQLITE_NULL) return std::optional<int64_t>();
    return std::optional<int64_t>(sqlite3_column_int64(*stmt, 0));
}

Result<int32_t> Database::readNumber(const Statement& s) {
    auto v = readOptionalNumber(s);
    if (!v) return v.error();
    if (!v->has_value()) return Error::notANumber("Null");
    int64_t n = **v;
    if (n < std::numeric_limits<int32_t>::min() || n > std::numeric_limits<int32_t>::max())
        return Error::outOfRange(std::to_string(n));
    return static_cast<int32_t>(n);
}

Status Database::readTexts(const Statement& s, std::vector<std::string>& flat, int& columns) {
    auto stmt = compile(s);
    if (!stmt) return stmt.error();
    Finalize f{*stmt};
    columns = sqlite3_column_count(*stmt);
    int rc;
    while ((rc = sqlite3_step(*stmt)) == SQLITE_ROW) {
        for (int c = 0; c < columns; ++c) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(*stmt, c));
            if (text)
                flat.emplace_back(text, static_cast<size_t>(sqlite3_column_bytes(*stmt, c)));
            else
                flat.emplace_back();
        }
    }
    return rc == SQLITE_DONE ? Status::Ok() : Status(lastError());
}

Result<PreparedStatement> Database::prepare(const std::string& text) {
    if (!db_) return lastError();
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db_, text.c_str(), -1, &stmt, nullptr) != SQLITE_OK) return lastError();
    return PreparedStatement(this, stmt);
}

Result<RowCursor> Database::query(const Statement& s) {
    auto stmt = compile(s, true);
    if (!stmt) return stmt.error();
    return RowCursor(this, *stmt);
}

Status Database::beginWrite() {
    return run({"BEGIN IMMEDIATE", {}});
}

Status Database::begin() {
    return run({"BEGIN", {}});
}
Status Database::commit() {
    return run({"COMMIT", {}});
}
Status Database::rollback() {
    return run({"ROLLBACK", {}});
}

}  // namespace tabrovin
