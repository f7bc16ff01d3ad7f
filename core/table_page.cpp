#include "core/table_page.h"

#include <sqlite3.h>

#include <algorithm>
#include <tuple>

#include "core/statements.h"

namespace tabrovin {
namespace {

constexpr int kMaxColumns = 51;  // a0 .. a50
constexpr int kRowsPerWrite = 1000;
constexpr int64_t kCountSlice = 100000;  // ids counted per statement
constexpr int64_t kStride = 20000;       // rows stepped over per statement

// One compiled statement; parameters that the text does not use are skipped,
// so one binding order serves the statements with and without a bound.
class Query {
  public:
    Query(sqlite3* db, const std::string& sql) : db_(db) {
        ok_ = sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt_, nullptr) == SQLITE_OK;
    }
    ~Query() { sqlite3_finalize(stmt_); }
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    bool ok() const { return ok_; }
    void bind(int index, int64_t value) {
        if (index <= sqlite3_bind_parameter_count(stmt_)) sqlite3_bind_int64(stmt_, index, value);
    }
    void bind(int index, const std::string& text) {
        if (index <= sqlite3_bind_parameter_count(stmt_))
            sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()),
                              SQLITE_TRANSIENT);
    }
    // SQLITE_ROW, SQLITE_DONE, or an error code.
    int step() { return sqlite3_step(stmt_); }
    int64_t number(int column) const { return sqlite3_column_int64(stmt_, column); }
    bool isNull(int column) const { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }
    std::string text(int column) const {
        const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
        return t ? std::string(t, sqlite3_column_bytes(stmt_, column)) : std::string();
    }
    Error failure() const {
        return Error::database(sqlite3_extended_errcode(db_), sqlite3_errmsg(db_));
    }

  private:
    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
    bool ok_ = false;
};

std::string selectList(int columns) {
    std::string list = "id";
    for (int k = 0; k < columns; ++k) list += ",a" + std::to_string(k);
    return list;
}

}  // namespace

TablePageReader::TablePageReader() = default;

TablePageReader::~TablePageReader() {
    close();
}

void TablePageReader::close() {
    if (db_) sqlite3_close_v2(db_);
    db_ = nullptr;
    count_.reset();
    anchors_.clear();
}

Status TablePageReader::open(const std::filesystem::path& database, int columns,
                             std::optional<RowFilter> filter) {
    close();
    rowsRead_ = idsSkipped_ = 0;
    if (columns < 0 || columns > kMaxColumns)
        return Error::invalidInput("要显示的列数 " + std::to_string(columns) +
                                   " 无效（应为 0 到 51）。");
    if (filter && (filter->column < 0 || filter->column >= kMaxColumns))
        return Error::noSuchColumn(filter->column);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(database, ec)) return Error::fileNotFound(database);
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(utf8FromPath(database).c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    if (rc != SQLITE_OK) {
        Error e = Error::database(rc, db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
        sqlite3_close_v2(db);
        return e;
    }
    db_ = db;
    columns_ = columns;
    filter_ = std::move(filter);
    // A writer committing holds the file only briefly; wait for it rather than fail.
    sqlite3_busy_timeout(db_, 2000);
    // Compiling a statement over every column shown proves the file is a
    // database with the working table, before any page is asked for.
    Query probe(db_, "SELECT " + selectList(columns_) + " FROM wen WHERE 0" + condition());
    if (!probe.ok()) {
        Error e = probe.failure();
        close();
        return e;
    }
    return Status::Ok();
}

std::string TablePageReader::condition() const {
    if (!filter_) return "";
    return " AND " + statements::containsParam("a" + std::to_string(filter_->column), 3);
}

// Counted in slices of ids, each its own statement: a writer that wants to
// commit waits at most one slice for this reader, never a whole-table scan
// (its patience is two seconds, and a big table on a slow disk takes longer).
Result<int64_t> TablePageReader::rowCount() {
    if (count_) return *count_;
    if (!db_) return Error::database(SQLITE_MISUSE, "database is not open");
    int64_t total = 0;
    std::optional<int64_t> after;
    for (;;) {
        // The first id of the next slice, found without the filter, which
        // could otherwise scan far for its next match.
        Query first(db_,
                    after ? "SELECT min(id) FROM wen WHERE id > ?1" : "SELECT min(id) FROM wen");
        if (!first.ok()) return first.failure();
        if (after) first.bind(1, *after);
        if (first.step() != SQLITE_ROW) return first.failure();
        if (first.isNull(0)) break;
        const int64_t low = first.number(0);
        const int64_t high = low > INT64_MAX - kCountSlice ? INT64_MAX : low + kCountSlice - 1;
        Query q(db_, "SELECT count(*) FROM wen WHERE id >= ?1 AND id <= ?2" + condition());
        if (!q.ok()) return q.failure();
        q.bind(1, low);
        q.bind(2, high);
        if (filter_) q.bind(3, filter_->text);
        if (q.step() != SQLITE_ROW) return q.failure();
        total += q.number(0);
        if (high == INT64_MAX) break;
        after = high;
    }
    count_ = total;
    return total;
}

// The id `skip` rows beyond the row with `id` (none: beyond either end),
// walking up or down in id order; no row there gives std::nullopt.
Result<std::optional<int64_t>> TablePageReader::stepFrom(std::optional<int64_t> id, bool forward,
                                                         int64_t skip) {
    std::string sql = "SELECT id FROM wen WHERE 1";
    if (id) sql += forward ? " AND id > ?1" : " AND id < ?1";
    sql += condition() + (forward ? " ORDER BY id" : " ORDER BY id DESC") + " LIMIT 1 OFFSET ?2";
    Query q(db_, sql);
    if (!q.ok()) return q.failure();
    if (id) q.bind(1, *id);
    q.bind(2, skip);
    if (filter_) q.bind(3, filter_->text);
    idsSkipped_ += skip;
    int rc = q.step();
    if (rc == SQLITE_DONE) return std::optional<int64_t>();
    if (rc != SQLITE_ROW) return q.failure();
    return std::optional<int64_t>(q.number(0));
}

// The id of the row at `position`, stepping from the nearest known boundary:
// the start, the end (once counted), or a page edge seen before.
Result<std::optional<int64_t>> TablePageReader::idAt(int64_t position) {
    if (auto at = anchors_.find(position); at != anchors_.end()) return std::optional(at->second);
    if (count_ && position >= *count_) return std::optional<int64_t>();
    int64_t lowPos = -1, highPos = count_ ? *count_ : INT64_MAX;
    std::optional<int64_t> lowId, highId;
    auto above = anchors_.upper_bound(position);
    if (above != anchors_.end()) std::tie(highPos, highId) = std::pair(above->first, above->second);
    if (above != anchors_.begin()) {
        auto below = std::prev(above);
        std::tie(lowPos, lowId) = std::pair(below->first, below->second);
    }
    const bool forward = position - lowPos <= highPos - position;
    int64_t at = forward ? lowPos : highPos;
    std::optional<int64_t> id = forward ? lowId : highId;
    // Long ways go in strides, each its own statement and remembered, so a
    // writer waits at most one stride and later jumps nearby start closer.
    for (int64_t left = forward ? position - lowPos : highPos - position; left > 0;) {
        const int64_t move = std::min(left, kStride);
        auto next = stepFrom(id, forward, move - 1);
        if (!next) return next.error();
        if (!next->has_value()) return next;  // past the end
        id = *next;
        at += forward ? move : -move;
        left -= move;
        anchors_[at] = *id;
    }
    return id;
}

Result<std::vector<TableRow>> TablePageReader::page(int64_t from, int count) {
    if (from < 0 || count < 0)
        return Error::invalidInput("起始行 " + std::to_string(from) + " 或行数 " +
                                   std::to_string(count) + " 不能是负数。");
    if (!db_) return Error::database(SQLITE_MISUSE, "database is not open");
    std::vector<TableRow> rows;
    if (count == 0) return rows;
    std::optional<int64_t> low;
    if (from > 0) {
        auto id = idAt(from - 1);
        if (!id) return id.error();
        if (!id->has_value()) return rows;  // past the end
        low = **id;
    }
    Query q(db_, "SELECT " + selectList(columns_) + " FROM wen WHERE 1" +
                     (low ? " AND id > ?1" : "") + condition() + " ORDER BY id LIMIT ?2");
    if (!q.ok()) return q.failure();
    if (low) q.bind(1, *low);
    q.bind(2, int64_t{count});
    if (filter_) q.bind(3, filter_->text);
    int rc;
    while ((rc = q.step()) == SQLITE_ROW) {
        TableRow row{q.number(0), std::vector<std::string>(columns_)};
        for (int k = 0; k < columns_; ++k) row.values[k] = q.text(k + 1);
        rows.push_back(std::move(row));
    }
    if (rc != SQLITE_DONE) return q.failure();
    rowsRead_ += static_cast<int64_t>(rows.size());
    if (!rows.empty()) {
        anchors_[from] = rows.front().id;
        anchors_[from + static_cast<int64_t>(rows.size()) - 1] = rows.back().id;
    }
    return rows;
}

std::string escapeField(const std::string& value) {
    std::string out;
    out.reserve(value.size());
    for (char c : value) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                out += c;
        }
    }
    return out;
}

Status writeRows(const std::filesystem::path& database, const std::vector<std::string>& columnNames,
                 int64_t from, std::optional<int64_t> count, std::ostream& out) {
    if (from < 0 || (count && *count < 0)) return Error::invalidInput("起始行和行数不能是负数。");
    const int columns = static_cast<int>(std::min<size_t>(columnNames.size(), kMaxColumns));
    TablePageReader reader;
    TABROVIN_TRY(reader.open(database, columns));
    out << kIdHeading;
    for (int k = 0; k < columns; ++k) out << '\t' << escapeField(columnNames[k]);
    out << '\n';
    int64_t left = count.value_or(INT64_MAX);
    while (left > 0) {
        int want = static_cast<int>(std::min<int64_t>(left, kRowsPerWrite));
        auto rows = reader.page(from, want);
        if (!rows) return rows.error();
        for (const TableRow& row : *rows) {
            out << row.id;
            for (const std::string& v : row.values) out << '\t' << escapeField(v);
            out << '\n';
        }
        if (!out) return Error::fileAccess("-", "写出数据行时出错（输出已关闭或磁盘已满）");
        if (static_cast<int>(rows->size()) < want) break;
        from += want;
        left -= want;
    }
    return Status::Ok();
}

}  // namespace tabrovin
