#include "processing/dedupe_scan.h"

#include <sqlite3.h>

#include <string>
#include <string_view>
#include <vector>

#include "core/statements.h"
#include "processing/row_removal.h"

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

// Reads wen once in id order, sorting each row's id into kept or duplicate.
Result<RowSplit> scanColumn(Database& db, const std::string& column,
                            const std::function<Status(int64_t)>& everyGroup) {
    auto rows = db.query({"SELECT id, " + column + " FROM wen ORDER BY id", {}});
    if (!rows) return rows.error();
    RowSplit scan;
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
        (fresh ? scan.kept : scan.removed).push_back(rows->number(0));
        if (fresh) TABROVIN_TRY(everyGroup(static_cast<int64_t>(scan.kept.size())));
    }
    return scan;
}

// Counts wen for `rowsFound`, then scans it.
Result<RowSplit> countAndScan(Database& reader, const std::string& column,
                              const std::function<Status(int64_t)>& everyGroup,
                              const std::function<void(int64_t)>& rowsFound) {
    if (rowsFound) {
        auto total = reader.readNumber(statements::countRows());
        if (!total) return total.error();
        rowsFound(*total);
    }
    return scanColumn(reader, column, everyGroup);
}

}  // namespace

Result<DedupeCounts> dedupeScan(Database& db, int column,
                                const std::function<Status(int64_t)>& everyGroup,
                                const std::function<void(int64_t)>& rowsFound) {
    auto name = statements::columnName(column);
    if (!name) return name.error();
    auto split = removeRows(
        db, [&](Database& reader) { return countAndScan(reader, *name, everyGroup, rowsFound); });
    if (!split) return split.error();
    return DedupeCounts{split->rows, static_cast<int64_t>(split->kept.size()),
                        static_cast<int64_t>(split->removed.size())};
}

}  // namespace tabrovin
