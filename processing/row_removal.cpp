#include "processing/row_removal.h"

namespace tabrovin {
namespace {

// Deleting touches (and journals) every page of wen almost whatever share of
// rows goes, while copying out costs in proportion to the rows kept: on a
// million rows the two meet when about one row in eight is kept.
constexpr int64_t kCopyOutBelow = 8;

Status deleteByIds(Database& db, const std::vector<int64_t>& ids) {
    auto del = db.prepare("DELETE FROM wen WHERE id=?1");
    if (!del) return del.error();
    for (int64_t id : ids) TABROVIN_TRY(del->runNumbers({id}));
    return Status::Ok();
}

// When nearly all rows go, copying the few kept ones aside and back costs
// less than deleting the others one by one. They return with their own ids;
// the id counter in sqlite_sequence only ever grows, so it stays where it was.
Status keepOnly(Database& db, const std::vector<int64_t>& ids) {
    for (const char* sql :
         {"DROP TABLE IF EXISTS temp.removal_keep", "DROP TABLE IF EXISTS temp.removal_rows",
          "CREATE TEMP TABLE removal_keep (id INTEGER PRIMARY KEY)"})
        TABROVIN_TRY(db.run({sql, {}}));
    {  // finalized at the brace: a statement still open would block the DROP below
        auto add = db.prepare("INSERT INTO temp.removal_keep (id) VALUES (?1)");
        if (!add) return add.error();
        for (int64_t id : ids) TABROVIN_TRY(add->runNumbers({id}));
    }
    for (const char* sql :
         {"CREATE TEMP TABLE removal_rows AS SELECT * FROM main.wen WHERE id IN "
          "(SELECT id FROM temp.removal_keep) ORDER BY id",
          "DELETE FROM main.wen", "INSERT INTO main.wen SELECT * FROM temp.removal_rows",
          "DROP TABLE temp.removal_rows", "DROP TABLE temp.removal_keep"})
        TABROVIN_TRY(db.run({sql, {}}));
    return Status::Ok();
}

Result<RowSplit> splitAndDelete(Database& db,
                                const std::function<Result<RowSplit>(Database&)>& split) {
    Database reader;
    TABROVIN_TRY(reader.open(db.path(), Database::Mode::ReadOnly));
    auto rows = split(reader);
    if (!rows) return rows.error();
    reader.release();
    if (rows->removed.empty()) return rows;
    if (static_cast<int64_t>(rows->kept.size()) * kCopyOutBelow < rows->rows)
        TABROVIN_TRY(keepOnly(db, rows->kept));
    else
        TABROVIN_TRY(deleteByIds(db, rows->removed));
    return rows;
}

}  // namespace

Result<RowSplit> removeRows(Database& db,
                            const std::function<Result<RowSplit>(Database& reader)>& split) {
    TABROVIN_TRY(db.beginWrite());
    auto rows = splitAndDelete(db, split);
    if (!rows) {
        // The first error is the one to report; a rollback that fails too
        // leaves the transaction to be undone when the connection closes.
        (void)db.rollback();
        return rows.error();
    }
    Status committed = db.commit();
    if (!committed.ok()) {
        (void)db.rollback();  // a refused commit leaves the transaction open
        return committed.error();
    }
    return rows;
}

}  // namespace tabrovin
