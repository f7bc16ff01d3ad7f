#pragma once
// Fills the working table of a program folder with `rows` x 10 columns:
// a0 repeats every 700,000 rows (about 30% duplicates on 1,000,000 rows).

#include <cstdio>
#include <filesystem>
#include <string>

#include "core/paths.h"
#include "core/statements.h"
#include "platform/database.h"

namespace bench {

inline bool fillTable(const std::filesystem::path& home, int rows) {
    tabrovin::Database db;
    if (!db.open(tabrovin::ProgramPaths(home).workingDb()).ok()) return false;
    auto insert = db.prepare(*tabrovin::statements::insertRow(10));
    if (!insert.ok() || !db.begin().ok()) return false;
    std::vector<std::string> values(10);
    for (int r = 0; r < rows; ++r) {
        values[0] = "客户" + std::to_string(r % 700000);
        for (int c = 1; c < 10; ++c) values[c] = "值" + std::to_string(r) + "-" + std::to_string(c);
        if (!insert->run(values).ok()) return false;
    }
    if (!db.commit().ok()) return false;
    std::FILE* ini = std::fopen((home / "data" / "ini.txt").c_str(), "wb");
    for (int c = 0; c < 10; ++c) std::fprintf(ini, "c%d\r\n", c);
    std::fclose(ini);
    return true;
}

}  // namespace bench
