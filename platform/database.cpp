#include "platform/database.h"

#include <sqlite3.h>

#include <limits>

#include "platform/file_names.h"

namespace tabrovin {
namespace {

// The texts stay alive until the statement has run, so SQLite need not copy them.
int bindAll(sqlite3_stmt* stmt, const std::vector<std::string>& params) {
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    for (size_t i = 0; i < params.size(); ++i) {
        int rc = sqlite3_bind_text(stmt, static_cast<int>(i + 1), params[i].data(),
                                   static_cast<int>(params[i].size()), SQLITE_STATIC);
        if (rc != SQLITE_OK) return rc;
    }
    return SQLITE_OK;
}

struct Finalize {
    sqlite3_stmt* s;
    ~Finalize() { sqlite3_finalize(s); }
};

}  // namespace

PreparedStatement::PreparedStatement(PreparedStatement&& o) noexcept : db_(o.db_), stmt_(o.stmt_) {
    o.stmt_ = nullptr;
}

PreparedStatement& PreparedStatement::operator=(PreparedStatement&& o) noexcept {
    if (this != &o) {
        sqlite3_finalize(stmt_);
        db_ = o.db_;
        stmt_ = o.stmt_;
        o.stmt_ = nullptr;
    }
    return *this;
}

PreparedStatement::~PreparedStatement() {
    sqlite3_finalize(stmt_);
}

Status PreparedStatement::run(const std::vector<std::string>& params) {
    assert(stmt_ && db_);
    if (bindAll(stmt_, params) != SQLITE_OK || sqlite3_step(stmt_) != SQLITE_DONE) {
        Error e = db_->lastError(sqlite3_sql(stmt_));
        sqlite3_reset(stmt_);
        return e;
    }
    return Status::Ok();
}

Database::~Database() {
    release();
}

void Database::release() {
    if (db_) sqlite3_close_v2(db_);
    db_ = nullptr;
}

Status Database::open(const std::filesystem::path& path) {
    release();
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        return Error{err::kFileNotFound, "找不到数据库文件: " + utf8FromPath(path)};
    path_ = path;
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(utf8FromPath(path).c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    if (rc != SQLITE_OK) {
        std::string msg = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
        sqlite3_close_v2(db);
        return Error{err::kDatabaseBase + (rc & 0xFF),
                     "无法打开数据库 " + utf8FromPath(path) + ": " + msg};
    }
    db_ = db;
    sqlite3_busy_timeout(db_, 2000);
    // A large page cache keeps big imports and deletes from spilling pages to
    // the file before their commit; NORMAL syncs less often and stays safe
    // against a crash of the program.
    sqlite3_exec(db_, "PRAGMA cache_size=-65536; PRAGMA synchronous=NORMAL", nullptr, nullptr,
                 nullptr);
    // Reading the schema proves the file is a database and not, say, a text file.
    Status probe = run({"SELECT count(*) FROM sqlite_master", {}});
    if (!probe.ok()) {
        release();
        return Error{probe.error().number,
                     "文件 " + utf8FromPath(path) + " 不是可用的数据库: " + probe.error().description};
    }
    return Status::Ok();
}

Error Database::lastError(const std::string& what) const {
    int rc = db_ ? sqlite3_errcode(db_) : SQLITE_MISUSE;
    std::string msg = db_ ? sqlite3_errmsg(db_) : "数据库没有打开";
    return Error{err::kDatabaseBase + (rc & 0xFF), "数据库错误: " + msg + " [语句: " + what + "]"};
}

Result<sqlite3_stmt*> Database::compile(const Statement& s) {
    if (!db_) return Error{err::kDatabaseBase + SQLITE_MISUSE, "数据库没有打开"};
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db_, s.text.c_str(), -1, &stmt, nullptr) != SQLITE_OK)
        return lastError(s.text);
    if (bindAll(stmt, s.params) != SQLITE_OK) {
        Error e = lastError(s.text);
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
    return rc == SQLITE_DONE ? Status::Ok() : Status(lastError(s.text));
}

Result<std::optional<int64_t>> Database::readOptionalNumber(const Statement& s) {
    auto stmt = compile(s);
    if (!stmt) return stmt.error();
    Finalize f{*stmt};
    int rc = sqlite3_step(*stmt);
    if (rc == SQLITE_DONE) return std::optional<int64_t>();
    if (rc != SQLITE_ROW) return lastError(s.text);
    if (sqlite3_column_type(*stmt, 0) == SQLITE_NULL) return std::optional<int64_t>();
    return std::optional<int64_t>(sqlite3_column_int64(*stmt, 0));
}

Result<int32_t> Database::readNumber(const Statement& s) {
    auto v = readOptionalNumber(s);
    if (!v) return v.error();
    if (!v->has_value())
        return Error{err::kTypeMismatch,
                     "查询结果为空值(Null), 无法作为数字使用 [语句: " + s.text + "]"};
    int64_t n = **v;
    if (n < std::numeric_limits<int32_t>::min() || n > std::numeric_limits<int32_t>::max())
        return Error{err::kOverflow, "查询结果超出整数范围 [语句: " + s.text + "]"};
    return static_cast<int32_t>(n);
}

Result<std::vector<int64_t>> Database::readNumbers(const Statement& s) {
    auto stmt = compile(s);
    if (!stmt) return stmt.error();
    Finalize f{*stmt};
    std::vector<int64_t> out;
    int rc;
    while ((rc = sqlite3_step(*stmt)) == SQLITE_ROW) out.push_back(sqlite3_column_int64(*stmt, 0));
    if (rc != SQLITE_DONE) return lastError(s.text);
    return out;
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
            flat.emplace_back(text ? std::string(text, sqlite3_column_bytes(*stmt, c))
                                   : std::string());
        }
    }
    return rc == SQLITE_DONE ? Status::Ok() : Status(lastError(s.text));
}

Result<PreparedStatement> Database::prepare(const std::string& text) {
    if (!db_) return Error{err::kDatabaseBase + SQLITE_MISUSE, "数据库没有打开"};
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db_, text.c_str(), -1, &stmt, nullptr) != SQLITE_OK)
        return lastError(text);
    return PreparedStatement(this, stmt);
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
