#include "core/table_page.h"

#include <algorithm>
#include <chrono>
#include <tuple>

#include "core/statements.h"

namespace tabrovin {
namespace {

constexpr int kMaxColumns = statements::kTableColumns;
constexpr int kRowsPerWrite = 1000;
constexpr int64_t kCountSlice = 100000;  // ids counted per statement
constexpr int64_t kStride = 20000;       // rows stepped over per statement
// A writer committing holds the file only briefly; wait for it rather than fail.
constexpr std::chrono::milliseconds kBusyWait{2000};

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
    db_.release();
    count_.reset();
    anchors_.clear();
}

Status TablePageReader::open(const std::filesystem::path& database, int columns,
                             std::optional<RowFilter> filter) {
    close();
    rowsRead_ = idsSkipped_ = 0;
    if (columns < 0 || columns > kMaxColumns)
        return Error::refused("要显示的列数 " + std::to_string(columns) + " 无效（应为 0 到 " +
                              std::to_string(kMaxColumns) + "）。");
    TABROVIN_TRY(db_.open(database, Database::Mode::ReadOnly, kBusyWait));
    columns_ = columns;
    filter_ = std::move(filter);
    // Compiling a statement over every column shown, and the filter, proves
    // the file is a database with the working table before any page is asked
    // for. Not "AND 0": the engine would drop the filter unread.
    auto probe =
        db_.query(where("SELECT " + selectList(columns_) + " FROM wen", " AND id IS NULL", ""));
    if (!probe) {
        close();
        return probe.error();
    }
    return Status::Ok();
}

// Ids and counts go into the text, as numbers of this table; the filter's
// texts, the only things the user typed, travel as its parameters.
Statement TablePageReader::where(const std::string& head, const std::string& bounds,
                                 const std::string& tail) const {
    Statement s{head + " WHERE 1" + bounds, {}};
    if (filter_) {
        s.text += " AND (" + filter_->condition + ")";
        s.params = filter_->params;
    }
    s.text += tail;
    return s;
}

// Counted in slices of ids, each its own statement: a writer that wants to
// commit waits at most one slice for this reader, never a whole-table scan
// (its patience is two seconds, and a big table on a slow disk takes longer).
Result<int64_t> TablePageReader::rowCount() {
    if (count_) return *count_;
    int64_t total = 0;
    std::string after;
    for (;;) {
        // The first id of the next slice, found without the filter, which
        // could otherwise scan far for its next match.
        auto first = db_.readOptionalNumber({"SELECT min(id) FROM wen" + after, {}});
        if (!first) return first.error();
        if (!first->has_value()) break;
        const int64_t low = **first;
        const int64_t high = low > INT64_MAX - kCountSlice ? INT64_MAX : low + kCountSlice - 1;
        auto slice = db_.readOptionalNumber(
            where("SELECT count(*) FROM wen",
                  " AND id >= " + std::to_string(low) + " AND id <= " + std::to_string(high), ""));
        if (!slice) return slice.error();
        total += slice->value_or(0);
        if (high == INT64_MAX) break;
        after = " WHERE id > " + std::to_string(high);
    }
    count_ = total;
    return total;
}

// The id `skip` rows beyond the row with `id` (none: beyond either end),
// walking up or down in id order; no row there gives std::nullopt.
Result<std::optional<int64_t>> TablePageReader::stepFrom(std::optional<int64_t> id, bool forward,
                                                         int64_t skip) {
    std::string bound = id ? (forward ? " AND id > " : " AND id < ") + std::to_string(*id) : "";
    idsSkipped_ += skip;
    return db_.readOptionalNumber(where("SELECT id FROM wen", bound,
                                        (forward ? " ORDER BY id" : " ORDER BY id DESC") +
                                            std::string(" LIMIT 1 OFFSET ") +
                                            std::to_string(skip)));
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
        return Error::refused("起始行 " + std::to_string(from) + " 或行数 " +
                              std::to_string(count) + " 不能是负数。");
    std::vector<TableRow> rows;
    if (count == 0) return rows;
    std::string bound;
    if (from > 0) {
        auto id = idAt(from - 1);
        if (!id) return id.error();
        if (!id->has_value()) return rows;  // past the end
        bound = " AND id > " + std::to_string(**id);
    }
    auto q = db_.query(where("SELECT " + selectList(columns_) + " FROM wen", bound,
                             " ORDER BY id LIMIT " + std::to_string(count)));
    if (!q) return q.error();
    for (auto more = q->next();; more = q->next()) {
        if (!more) return more.error();
        if (!*more) break;
        TableRow row{q->number(0), std::vector<std::string>(columns_)};
        for (int k = 0; k < columns_; ++k) row.values[k] = q->text(k + 1);
        rows.push_back(std::move(row));
    }
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
    if (from < 0 || (count && *count < 0)) return Error::refused("起始行和行数不能是负数。");
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
