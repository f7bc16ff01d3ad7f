#include "processing/dedupe_scan.h"

#include <sqlite3.h>

#include <string>
#include <string_view>
#include <vector>

#include "core/statements.h"

namespace tabrovin {
namespace {

// The set of values seen so far, keyed by their folded bytes. The keys lie
// end to end in one buffer and the table holds only offsets, so a million
// distinct values cost some tens of megabytes, not a node and a string each.
class KeySet {
  public:
    // True when `key` was not in the set; it is then added.
    bool insert(std::string_view key) {
        if ((count_ + 1) * 4 > slots_.size() * 3) grow();
        const uint64_t h = std::hash<std::string_view>{}(key);
        for (size_t i = h & mask_;; i = (i + 1) & mask_) {
            Slot& s = slots_[i];
            if (s.length == kEmpty) {
                s = {static_cast<uint32_t>(h), static_cast<uint32_t>(key.size()), bytes_.size()};
                bytes_.append(key);
                ++count_;
                return true;
            }
            if (s.hash == static_cast<uint32_t>(h) && s.length == key.size() &&
                std::string_view(bytes_).substr(s.offset, s.length) == key)
                return false;
        }
    }

  private:
    static constexpr uint32_t kEmpty = UINT32_MAX;
    struct Slot {
        uint32_t hash = 0;
        uint32_t length = kEmpty;
        uint64_t offset = 0;
    };
    void grow() {
        std::vector<Slot> old = std::move(slots_);
        slots_.assign(old.empty() ? 1024 : old.size() * 2, Slot{});
        mask_ = slots_.size() - 1;
        for (const Slot& s : old) {
            if (s.length == kEmpty) continue;
            const std::string_view key = std::string_view(bytes_).substr(s.offset, s.length);
            size_t i = std::hash<std::string_view>{}(key)&mask_;
            while (slots_[i].length != kEmpty) i = (i + 1) & mask_;
            slots_[i] = s;
        }
    }
    std::vector<Slot> slots_;
    std::string bytes_;
    size_t mask_ = 0;
    size_t count_ = 0;
};

// The key under which `value` groups. NOCASE folds A-Z only, and compares
// texts with a zero byte only up to that byte, then by length; other storage
// classes (which a text column does not normally hold) never equal a text.
void groupKey(int type, std::string_view value, std::string& key) {
    key.clear();
    if (type != SQLITE_TEXT) {
        key.push_back(static_cast<char>('0' + type));
        key.append(value);
        return;
    }
    const size_t zero = value.find('\0');
    key.push_back(zero == std::string_view::npos ? 'T' : 'Z');
    for (char c : value.substr(0, zero))
        key.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c);
    if (zero == std::string_view::npos) return;
    key.push_back('\0');
    key.append(std::to_string(value.size()));
}

// Deleting touches (and journals) every page of wen almost whatever share of
// rows goes, while copying out costs in proportion to the rows kept: on a
// million rows the two meet when about one row in eight is kept.
constexpr int64_t kCopyOutBelow = 8;

struct Callbacks {
    const std::function<Status(int64_t)>& everyGroup;
    const std::function<void(int64_t)>& rowsFound;
};

struct Scan {
    int64_t rows = 0;
    std::vector<int64_t> kept, duplicates;  // ids, ascending
};

// Reads wen once in id order, sorting each row's id into kept or duplicate.
Result<Scan> scanColumn(Database& db, const std::string& column,
                        const std::function<Status(int64_t)>& everyGroup) {
    auto rows = db.query({"SELECT id, " + column + " FROM wen ORDER BY id", {}});
    if (!rows) return rows.error();
    Scan scan;
    KeySet seen;
    bool sawNull = false;
    std::string key;
    for (;;) {
        auto more = rows->next();
        if (!more) return more.error();
        if (!*more) break;
        ++scan.rows;
        const int type = rows->type(1);
        bool fresh;
        if (type == SQLITE_NULL) {
            fresh = !sawNull;
            sawNull = true;
        } else {
            groupKey(type, rows->text(1), key);
            fresh = seen.insert(key);
        }
        (fresh ? scan.kept : scan.duplicates).push_back(rows->number(0));
        if (fresh) TABROVIN_TRY(everyGroup(static_cast<int64_t>(scan.kept.size())));
    }
    return scan;
}

Status deleteByIds(Database& db, const std::vector<int64_t>& ids) {
    auto del = db.prepare("DELETE FROM wen WHERE id=?1");
    if (!del) return del.error();
    for (int64_t id : ids) TABROVIN_TRY(del->runNumbers({id}));
    return Status::Ok();
}

// When nearly all rows go, copying the few kept ones aside and back costs
// less than deleting the others one by one. They return with their own ids; the id
// counter in sqlite_sequence only ever grows, so it stays where it was.
Status keepOnly(Database& db, const std::vector<int64_t>& ids) {
    for (const char* sql :
         {"DROP TABLE IF EXISTS temp.dedupe_keep", "DROP TABLE IF EXISTS temp.dedupe_rows",
          "CREATE TEMP TABLE dedupe_keep (id INTEGER PRIMARY KEY)"})
        TABROVIN_TRY(db.run({sql, {}}));
    auto add = db.prepare("INSERT INTO temp.dedupe_keep (id) VALUES (?1)");
    if (!add) return add.error();
    for (int64_t id : ids) TABROVIN_TRY(add->runNumbers({id}));
    add = PreparedStatement();  // finalized: a statement still open would block the DROP below
    for (const char* sql :
         {"CREATE TEMP TABLE dedupe_rows AS SELECT * FROM main.wen WHERE id IN "
          "(SELECT id FROM temp.dedupe_keep) ORDER BY id",
          "DELETE FROM main.wen", "INSERT INTO main.wen SELECT * FROM temp.dedupe_rows",
          "DROP TABLE temp.dedupe_rows", "DROP TABLE temp.dedupe_keep"})
        TABROVIN_TRY(db.run({sql, {}}));
    return Status::Ok();
}

// The count and the scan go through a read-only connection of their own:
// it maps the file instead of copying every page into the cache, which
// more than halves their time on a large table, and a read fault under the
// map (which stops the program) can only strike before anything changed.
// `db` holds the write lock meanwhile, so what they read stays as it is.
Result<Scan> scanMapped(Database& db, const std::string& column, const Callbacks& calls) {
    Database reader;
    TABROVIN_TRY(reader.open(db.path(), Database::Mode::ReadOnly));
    if (calls.rowsFound) {
        auto total = reader.readNumber(statements::countRows());
        if (!total) return total.error();
        calls.rowsFound(*total);
    }
    return scanColumn(reader, column, calls.everyGroup);
}

Result<DedupeCounts> dedupeInTransaction(Database& db, const std::string& column,
                                         const Callbacks& calls) {
    auto scan = scanMapped(db, column, calls);
    if (!scan) return scan.error();
    DedupeCounts counts{scan->rows, static_cast<int64_t>(scan->kept.size()),
                        static_cast<int64_t>(scan->duplicates.size())};
    if (counts.deleted == 0) return counts;
    if (counts.groups * kCopyOutBelow < counts.rowsBefore)
        TABROVIN_TRY(keepOnly(db, scan->kept));
    else
        TABROVIN_TRY(deleteByIds(db, scan->duplicates));
    return counts;
}

}  // namespace

Result<DedupeCounts> dedupeScan(Database& db, int column,
                                const std::function<Status(int64_t)>& everyGroup,
                                const std::function<void(int64_t)>& rowsFound) {
    const Callbacks calls{everyGroup, rowsFound};
    auto name = statements::columnName(column);
    if (!name) return name.error();
    // The write lock is taken before the scan, so that no other connection
    // can change wen between reading it and deleting from it.
    TABROVIN_TRY(db.beginWrite());
    auto counts = dedupeInTransaction(db, *name, calls);
    if (!counts) {
        // The scan's error is the one to report; a rollback that fails too
        // leaves the transaction to be undone when the connection closes.
        (void)db.rollback();
        return counts.error();
    }
    Status committed = db.commit();
    if (!committed.ok()) {
        (void)db.rollback();  // a refused commit leaves the transaction open
        return committed.error();
    }
    return counts;
}

}  // namespace tabrovin
