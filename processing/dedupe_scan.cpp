#include "processing/dedupe_scan.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "core/statements.h"
#include "platform/encoding.h"
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

constexpr std::string_view kIdeographicSpace = "\xE3\x80\x80";  // U+3000

// Full-width forms U+FF01..U+FF5E (EF BC 81..EF BD 9E) and U+3000 as their
// ASCII counterparts, into `out`; every other byte stays. False, and `out`
// untouched, when `in` holds none: most values are copied for nothing.
bool foldWidth(std::string_view in, std::string& out) {
    if (in.find_first_of("\xEF\xE3") == std::string_view::npos) return false;
    out.clear();
    for (size_t i = 0; i < in.size(); ++i) {
        const auto c = static_cast<unsigned char>(in[i]);
        if (c == 0xEF && i + 2 < in.size()) {
            const auto b = static_cast<unsigned char>(in[i + 1]);
            const auto d = static_cast<unsigned char>(in[i + 2]);
            if ((b == 0xBC && d >= 0x81 && d <= 0xBF) || (b == 0xBD && d >= 0x80 && d <= 0x9E)) {
                out.push_back(static_cast<char>(b == 0xBC ? d - 0x81 + 0x21 : d - 0x80 + 0x60));
                i += 2;
                continue;
            }
        }
        if (in.substr(i, 3) == kIdeographicSpace) {
            out.push_back(' ');
            i += 2;
            continue;
        }
        out.push_back(static_cast<char>(c));
    }
    return true;
}

// Appends the part of the group key that `value` makes: a tag for its kind,
// its length (so parts of several columns cannot run into each other), and
// the bytes under which it groups. NOCASE folds A-Z only, and compares texts
// with a zero byte only up to that byte, then by length; other storage
// classes (which a text column does not normally hold) never equal a text,
// and NULL is a kind of its own.
void appendPart(int type, std::string_view value, std::string& key) {
    const size_t zero = type == SQLITE_TEXT ? value.find('\0') : std::string_view::npos;
    key.push_back(type != SQLITE_TEXT              ? static_cast<char>('0' + type)
                  : zero == std::string_view::npos ? 'T'
                                                   : 'Z');
    const size_t lengthAt = key.size();
    key.append(sizeof(uint32_t), '\0');
    if (type != SQLITE_TEXT) {
        key.append(value);
    } else {
        for (char c : value.substr(0, zero))
            key.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c);
        if (zero != std::string_view::npos) {
            key.push_back('\0');
            key.append(std::to_string(value.size()));
        }
    }
    const auto length = static_cast<uint32_t>(key.size() - lengthAt - sizeof(uint32_t));
    std::memcpy(key.data() + lengthAt, &length, sizeof length);
}

// The key columns' names, each once, in the order first given.
Result<std::vector<std::string>> keyColumns(const DedupeKey& key) {
    if (key.columns.empty()) return Error::noSuchColumn(-1);
    std::vector<std::string> names;
    for (int k : key.columns) {
        auto name = statements::columnName(k);
        if (!name) return name.error();
        if (std::find(names.begin(), names.end(), *name) == names.end()) names.push_back(*name);
    }
    return names;
}

// Reads wen once in id order, sorting each row's id into kept or duplicate.
Result<RowSplit> scanColumns(Database& db, const DedupeKey& dedupe,
                             const std::vector<std::string>& names,
                             const std::function<Status(int64_t)>& everyGroup) {
    std::string select = "SELECT id";
    for (const auto& name : names) select += ", " + name;
    auto rows = db.query({select + " FROM wen ORDER BY id", {}});
    if (!rows) return rows.error();
    const int columns = static_cast<int>(names.size()) + 1;
    RowSplit scan;
    KeySet seen;
    std::string key, folded;
    for (;;) {
        auto more = rows->next();
        if (!more) return more.error();
        if (!*more) break;
        ++scan.rows;
        key.clear();
        for (int c = 1; c < columns; ++c) {
            const int type = rows->type(c);
            std::string_view value = rows->text(c);
            if (type == SQLITE_TEXT && dedupe.width && foldWidth(value, folded)) value = folded;
            if (type == SQLITE_TEXT && dedupe.trim) value = encoding::trimBlanks(value);
            appendPart(type, value, key);
        }
        const bool fresh = seen.insert(key);
        (fresh ? scan.kept : scan.removed).push_back(rows->number(0));
        if (fresh) TABROVIN_TRY(everyGroup(static_cast<int64_t>(scan.kept.size())));
    }
    return scan;
}

// Counts wen for `rowsFound`, then scans it.
Result<RowSplit> countAndScan(Database& reader, const DedupeKey& key,
                              const std::vector<std::string>& names,
                              const std::function<Status(int64_t)>& everyGroup,
                              const std::function<void(int64_t)>& rowsFound) {
    if (rowsFound) {
        auto total = reader.readNumber(statements::countRows());
        if (!total) return total.error();
        rowsFound(*total);
    }
    return scanColumns(reader, key, names, everyGroup);
}

}  // namespace

Result<DedupeCounts> dedupeScan(Database& db, int column,
                                const std::function<Status(int64_t)>& everyGroup,
                                const std::function<void(int64_t)>& rowsFound) {
    return dedupeScan(db, DedupeKey{{column}}, everyGroup, rowsFound);
}

Result<DedupeCounts> dedupeScan(Database& db, const DedupeKey& key,
                                const std::function<Status(int64_t)>& everyGroup,
                                const std::function<void(int64_t)>& rowsFound) {
    auto names = keyColumns(key);
    if (!names) return names.error();
    auto split = removeRows(db, [&](Database& reader) {
        return countAndScan(reader, key, *names, everyGroup, rowsFound);
    });
    if (!split) return split.error();
    return DedupeCounts{split->rows, static_cast<int64_t>(split->kept.size()),
                        static_cast<int64_t>(split->removed.size())};
}

Result<int64_t> countDuplicates(Database& reader, const DedupeKey& key) {
    auto names = keyColumns(key);
    if (!names) return names.error();
    auto split = scanColumns(reader, key, *names, [](int64_t) { return Status::Ok(); });
    if (!split) return split.error();
    return static_cast<int64_t>(split->removed.size());
}

}  // namespace tabrovin
