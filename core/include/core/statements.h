#pragma once
// Every statement run on the working table wen, built in this one place.
// Column numbers k name the table column "a" + k (0..50); texts and keywords
// are bound parameters, never spliced into the statement text.

#include <cstdint>
#include <string>
#include <vector>

#include "base/error.h"
#include "platform/database.h"

namespace tabrovin::statements {

constexpr int kTableColumns = 51;  // a0 .. a50

// "a" + k; err::kNoSuchColumn when k names no column of wen.
Result<std::string> columnName(int k);

// The condition that `column` contains the text bound to ?<param>: LIKE, so
// '%' and '_' in it keep their wildcard meaning, ASCII letters match either
// case, and a null never matches. The keyword delete and the data view's
// filter both match with it.
std::string containsParam(const std::string& column, int param);

// Insert of one row into the first `count` columns a0..a<count-1>, with one
// parameter per column: "insert into wen (a0,a1) values (?1,?2)".
Result<std::string> insertRow(int count);

// Insert of `rows` rows at once into the first `count` columns, parameters
// row after row: "insert into wen (a0,a1) values (?1,?2),(?3,?4)". At most
// kMaxParameters parameters in all.
constexpr int kMaxParameters = 32766;
Result<std::string> insertRows(int count, int rows);
// Insert of `rows` rows into the listed columns, in the order given:
// insertInto({3, 0}, 1) is "insert into wen (a3,a0) values (?1,?2)".
// err::kNoSuchColumn for a number that names no column.
Result<std::string> insertInto(const std::vector<int>& columns, int rows);

Statement countRows();  // SELECT count(*) FROM wen
// The id of the `count`-th row after id `low` in id order (no row: null), so
// that a page ends at the k-th smallest id without walking the rows before.
Statement idAfter(int64_t low, int64_t count);
// The id and the listed columns of the first `count` rows with id > low,
// in id order.
Result<Statement> pageRows(const std::vector<int>& columns, int64_t low, int64_t count);

// Splitting by the value of column k, values compared exactly as stored
// (not through the column's case-blind collation), a null being a value of
// its own:
// the number of distinct values and of files of at most `perFile` rows;
Result<Statement> splitFileCount(int k, int64_t perFile);
// each value (null included), its row count and first id, by first id;
Result<Statement> splitValues(int k);
// every row as the value's first id, the row's id and the listed columns,
// in the order of first id, then id.
Result<Statement> splitRows(int k, const std::vector<int>& columns);
// Every row as 0, its id and the listed columns, in id order.
Result<Statement> allRows(const std::vector<int>& columns);

}  // namespace tabrovin::statements
