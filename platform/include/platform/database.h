#pragma once
// The working database: one SQLite connection with the handful of operations
// the actions need. Values and keywords always travel as bound parameters.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
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

// A statement compiled once and run many times, e.g. one insert per row.
class PreparedStatement {
  public:
    PreparedStatement() = default;
    PreparedStatement(PreparedStatement&& o) noexcept;
    PreparedStatement& operator=(PreparedStatement&& o) noexcept;
    ~PreparedStatement();

    // Binds `params` in order and runs the statement to completion.
    Status run(const std::vector<std::string>& params);

  private:
    friend class Database;
    PreparedStatement(Database* db, sqlite3_stmt* stmt) : db_(db), stmt_(stmt) {}
    Database* db_ = nullptr;
    sqlite3_stmt* stmt_ = nullptr;
};

class Database {
  public:
    Database() = default;
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Opens the existing file at `path`, releasing any previous connection
    // first. A missing file is err::kFileNotFound: the database is never
    // created here, only copied from its template.
    Status open(const std::filesystem::path& path);
    // Closes the connection, if any, so the file can be replaced.
    void release();
    bool isOpen() const { return db_ != nullptr; }

    // Runs a statement to completion; its change is in the file on return
    // unless a transaction is open.
    Status run(const Statement& s);
    // The first column of the first row as a 32-bit number; a null, no row
    // or a value outside 32 bits is an error.
    Result<int32_t> readNumber(const Statement& s);
    // Like readNumber, but a null or no row gives std::nullopt.
    Result<std::optional<int64_t>> readOptionalNumber(const Statement& s);
    // The first column of every result row, read completely before return,
    // so the table may be updated while the caller walks them.
    Result<std::vector<int64_t>> readNumbers(const Statement& s);

    // Every result row's columns as texts (a null as ""), appended to `flat`
    // row after row; `columns` receives the column count.
    Status readTexts(const Statement& s, std::vector<std::string>& flat, int& columns);

    Result<PreparedStatement> prepare(const std::string& text);

    // Groups many statements into one commit, for speed; nothing else.
    Status begin();
    Status commit();
    Status rollback();

    // Turns SQLite's current error into an Error naming `what`.
    Error lastError(const std::string& what) const;

  private:
    Result<sqlite3_stmt*> compile(const Statement& s);
    sqlite3* db_ = nullptr;
    std::filesystem::path path_;
};

}  // namespace tabrovin
