#include "core/working_files.h"

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "core/statements.h"
#include "platform/database.h"

namespace tabrovin {
namespace {

// SQLite's codes for a file that is no database, or a damaged one.
constexpr int kNotADatabase = 26, kCorrupt = 11;

bool isDamagedError(const Error& e) {
    return e.number == err::kDatabaseBase + kNotADatabase ||
           e.number == err::kDatabaseBase + kCorrupt;
}

using Fault = std::function<Error(const std::string& why)>;

// The first column of every row of `sql` on the file, or the file's fault.
Result<std::vector<std::string>> readFirstColumn(Database& db, const Fault& fault,
                                                 const std::string& sql) {
    std::vector<std::string> rows;
    int columns = 0;
    Status st = db.readTexts({sql, {}}, rows, columns);
    if (!st.ok()) {
        if (isDamagedError(st.error())) return fault("文件已损坏或不完整");
        return st.error();
    }
    if (columns > 1) {
        std::vector<std::string> first;
        for (size_t i = 0; i < rows.size(); i += columns) first.push_back(rows[i]);
        return first;
    }
    return rows;
}

std::string lowered(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

Status checkWenColumns(Database& db, const Fault& fault) {
    auto names = readFirstColumn(db, fault, "SELECT name FROM pragma_table_info('wen')");
    if (!names) return names.error();
    if (names->empty()) return fault("其中没有工作数据表 wen");
    std::set<std::string> have;
    for (const auto& n : *names) have.insert(lowered(n));
    std::string missing;
    std::vector<std::string> wanted = {"id", "idd"};
    for (int k = 0; k < statements::kTableColumns; ++k) wanted.push_back("a" + std::to_string(k));
    for (const auto& w : wanted)
        if (!have.count(w)) missing += (missing.empty() ? "" : "、") + w;
    if (!missing.empty()) return fault("工作数据表 wen 缺少列 " + missing);
    return Status::Ok();
}

// A whole, undamaged database whose table wen has id, idd and a0..a50; kept
// open in `db` for further checks.
Status checkWorkingFile(Database& db, const std::filesystem::path& file, const Fault& fault) {
    Status opened = db.open(file, Database::Mode::ReadOnly);
    if (!opened.ok()) {
        if (isDamagedError(opened.error())) return fault("它不是数据库文件或已损坏");
        return opened.error();
    }
    auto check = readFirstColumn(db, fault, "PRAGMA quick_check");
    if (!check) return check.error();
    if (check->size() != 1 || (*check)[0] != "ok")
        return fault("文件已损坏（" + (check->empty() ? "" : (*check)[0]) + "）");
    return checkWenColumns(db, fault);
}

}  // namespace

Status checkWorkingTemplate(const std::filesystem::path& blankDb) {
    const Fault fault = [&](const std::string& why) { return Error::badTemplate(blankDb, why); };
    Database db;
    TABROVIN_TRY(checkWorkingFile(db, blankDb, fault));
    auto rows = readFirstColumn(db, fault, "SELECT count(*) FROM (SELECT 1 FROM wen LIMIT 1)");
    if (!rows) return rows.error();
    // A template with rows would mix them into every new import.
    if (rows->empty() || (*rows)[0] != "0") return fault("其中的工作数据表 wen 不是空的");
    return Status::Ok();
}

Status checkSnapshot(const std::filesystem::path& snapshot) {
    Database db;
    return checkWorkingFile(db, snapshot, [&](const std::string& why) {
        return Error::fileAccess(
            snapshot, "撤销用的副本不能使用（" + why + "），无法撤销；工作数据库没有改变");
    });
}

}  // namespace tabrovin
