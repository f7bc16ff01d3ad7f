#pragma once
// Database files made outside the program, for tests of what it accepts.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <string>

namespace tabrovin::testing {

// The blank template the build lays beside the programs.
inline std::filesystem::path blankTemplate() {
    return std::filesystem::path(TABROVIN_BIN_DIR) / "data" / "B.mdb";
}

// Runs `sql` on `file` with SQLite itself, creating the file.
inline void rawSql(const std::filesystem::path& file, const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    char* msg = nullptr;
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &msg), SQLITE_OK) << (msg ? msg : "");
    sqlite3_free(msg);
    sqlite3_close(db);
}

}  // namespace tabrovin::testing
