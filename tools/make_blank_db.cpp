// Build step: creates the blank working database from the schema file.
// Usage: make_blank_db SCHEMA.sql OUT.mdb

#include <sqlite3.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_blank_db SCHEMA.sql OUT.mdb\n");
        return 2;
    }
    std::ifstream in(argv[1]);
    std::stringstream schema;
    schema << in.rdbuf();
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    std::filesystem::path out = argv[2];
    std::filesystem::path tmp = out;
    tmp += ".tmp";
    std::filesystem::remove(tmp);
    sqlite3* db = nullptr;
    char* msg = nullptr;
    int rc = sqlite3_open(tmp.string().c_str(), &db);
    if (rc == SQLITE_OK) rc = sqlite3_exec(db, schema.str().c_str(), nullptr, nullptr, &msg);
    sqlite3_close(db);
    if (rc != SQLITE_OK) {
        std::fprintf(stderr, "schema failed: %s\n", msg ? msg : sqlite3_errstr(rc));
        return 1;
    }
    std::filesystem::rename(tmp, out);
    return 0;
}
