#include "core/statements.h"

namespace tabrovin::statements {

Result<std::string> columnName(int k) {
    if (k < 0 || k >= kTableColumns) return Error::noSuchColumn(k);
    return "a" + std::to_string(k);
}

Result<std::string> insertRow(int count) {
    return insertRows(count, 1);
}

Result<std::string> insertRows(int count, int rows) {
    if (count > kTableColumns) return Error::noSuchColumn(count - 1);  // the first one missing
    std::vector<int> columns;
    for (int k = 0; k < count; ++k) columns.push_back(k);
    return insertInto(columns, rows);
}

Result<std::string> insertInto(const std::vector<int>& columns, int rows) {
    if (columns.empty()) return Error::refused("没有要导入的列。");
    const int count = static_cast<int>(columns.size());
    if (rows < 1 || static_cast<int64_t>(rows) * count > kMaxParameters)
        return Error::refused("一次插入的行数 " + std::to_string(rows) + " 无效（应为 1 到 " +
                              std::to_string(kMaxParameters / count) + "）。");
    std::string sql = "insert into wen (";
    for (int k : columns) {
        auto col = columnName(k);
        if (!col) return col.error();
        sql += (sql.back() == '(' ? "" : ",") + *col;
    }
    sql += ") values ";
    int p = 1;
    for (int r = 0; r < rows; ++r) {
        sql += r ? ",(" : "(";
        for (int k = 0; k < count; ++k) sql += (k ? ",?" : "?") + std::to_string(p++);
        sql += ")";
    }
    return sql;
}

Statement countRows() {
    // count(*) walks the pages without decoding a row; count(id) reads each.
    return {"SELECT count(*) FROM wen", {}};
}

std::string containsParam(const std::string& column, int param) {
    return column + " like '%' || ?" + std::to_string(param) + " || '%'";
}

Statement idAfter(int64_t low, int64_t count) {
    return {"select id from [wen] where id>" + std::to_string(low) +
                " order by id limit 1 offset " + std::to_string(count - 1),
            {}};
}

namespace {

// "a3,a0,a5" for the columns, each after `prefix`.
Result<std::string> columnList(const std::vector<int>& columns, const std::string& prefix = "") {
    std::string list;
    for (int k : columns) {
        auto col = columnName(k);
        if (!col) return col.error();
        list += (list.empty() ? "" : ",") + prefix + *col;
    }
    if (list.empty()) return Error::refused("没有要导出的列!");
    return list;
}

}  // namespace

Result<Statement> splitFileCount(int k, int64_t perFile) {
    auto col = columnName(k);
    if (!col) return col.error();
    const std::string n = std::to_string(perFile);
    return Statement{"SELECT count(*), coalesce(sum((c + " + n + " - 1) / " + n +
                         "), 0) FROM (SELECT count(*) AS c FROM wen GROUP BY " + *col +
                         " COLLATE BINARY)",
                     {}};
}

Result<Statement> splitValues(int k) {
    auto col = columnName(k);
    if (!col) return col.error();
    return Statement{"SELECT " + *col + ", count(*), min(id) AS first FROM wen GROUP BY " + *col +
                         " COLLATE BINARY ORDER BY first",
                     {}};
}

Result<Statement> splitRows(int k, const std::vector<int>& columns) {
    auto col = columnName(k);
    if (!col) return col.error();
    auto list = columnList(columns, "w.");
    if (!list) return list.error();
    // The window partitions only ids; the rows are then found by id. That
    // takes half the time of partitioning whole rows.
    return Statement{"SELECT s.first, s.id, " + *list +
                         " FROM (SELECT id, min(id) OVER (PARTITION BY " + *col +
                         " COLLATE BINARY) AS first FROM wen) AS s"
                         " CROSS JOIN wen AS w ON w.id = s.id ORDER BY s.first, s.id",
                     {}};
}

Result<Statement> allRows(const std::vector<int>& columns) {
    auto list = columnList(columns);
    if (!list) return list.error();
    return Statement{"SELECT 0, id, " + *list + " FROM wen ORDER BY id", {}};
}

Result<Statement> pageRows(const std::vector<int>& columns, int64_t low, int64_t count) {
    auto listed = columnList(columns);
    if (!listed) return listed.error();
    const std::string& list = *listed;
    return Statement{"Select id," + list + " from [wen] where id>" + std::to_string(low) +
                         " order by id limit " + std::to_string(count),
                     {}};
}

}  // namespace tabrovin::statements
