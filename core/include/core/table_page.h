#pragma once
// Reading the working table wen a page at a time, for the data view and the
// batch command `rows`. The reader has its own read-only connection, so it
// can neither change the working database nor hold a lock on it between
// reads. Pages are found by id (keyset): the reader remembers the id at each
// page boundary it has seen and steps from the nearest one, so a page costs
// its own rows plus, for a jump, the ids between it and a known boundary.
// Those boundaries hold while the table stays as it was: open the reader
// again after the table changes.

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "base/error.h"
#include "platform/database.h"

namespace tabrovin {

// The heading of the row id, before the user's column names.
inline constexpr const char* kIdHeading = "编号";

// One row as shown: its id and the texts of a0..a<n-1> (a null as "").
struct TableRow {
    int64_t id = 0;
    std::vector<std::string> values;
};

// Rows for which `condition` holds: SQL on wen's columns, whatever the user
// typed bound as its parameters ?1, ?2, ... The data view builds it with the
// keyword delete's own matcher, so it shows the rows that delete would take.
struct RowFilter {
    std::string condition;
    std::vector<std::string> params;
};

class TablePageReader {
  public:
    TablePageReader();
    ~TablePageReader();
    TablePageReader(const TablePageReader&) = delete;
    TablePageReader& operator=(const TablePageReader&) = delete;

    // Opens the existing database file read-only, for rows of `columns`
    // values (0..51) limited by `filter` when given. A missing file is
    // err::kFileNotFound; a file without table wen is a database error.
    Status open(const std::filesystem::path& database, int columns,
                std::optional<RowFilter> filter = std::nullopt);
    // Closes the connection so the file may be replaced; open() again to read.
    void close();
    bool isOpen() const { return db_.isOpen(); }

    // The number of rows (that match the filter). Counting visits every row;
    // the result is kept and also lets page() step back from the end.
    Result<int64_t> rowCount();
    // Takes the count another reader of the same file and filter made (e.g.
    // on another thread), as if rowCount() had counted it.
    void takeRowCount(int64_t rows) { count_ = rows; }
    // Up to `count` rows from position `from` (0-based, id order); fewer, or
    // none, past the end. Negative arguments are an input error.
    Result<std::vector<TableRow>> page(int64_t from, int count);

    // Rows handed out and ids stepped over since open(), to show that a page
    // costs what it should.
    int64_t rowsRead() const { return rowsRead_; }
    int64_t idsSkipped() const { return idsSkipped_; }

  private:
    Result<std::optional<int64_t>> idAt(int64_t position);
    Result<std::optional<int64_t>> stepFrom(std::optional<int64_t> id, bool forward, int64_t skip);
    // head WHERE 1 bounds [AND the filter] tail, with the filter's parameter.
    Statement where(const std::string& head, const std::string& bounds,
                    const std::string& tail) const;

    Database db_;
    int columns_ = 0;
    std::optional<RowFilter> filter_;
    std::optional<int64_t> count_;
    std::map<int64_t, int64_t> anchors_;  // position -> id of the row there
    int64_t rowsRead_ = 0;
    int64_t idsSkipped_ = 0;
};

// A value for one tab-separated field: a backslash becomes \\, a tab \t, a
// line feed \n and a carriage return \r, so every row stays on one line and
// the original text can be recovered.
std::string escapeField(const std::string& value);

// Writes the heading line (kIdHeading and `columnNames`) and then `count`
// rows (all when std::nullopt) from position `from`, one line each, fields
// separated by tabs and escaped by escapeField. At most 51 names are used.
Status writeRows(const std::filesystem::path& database, const std::vector<std::string>& columnNames,
                 int64_t from, std::optional<int64_t> count, std::ostream& out);

}  // namespace tabrovin
