#pragma once
// Independent readers for the workbooks the writer produces: Debian's xlrd,
// FreeXL (loaded at run time) and LibreOffice's CSV export.

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/xls/xls_writer.h"

namespace tabrovin::testing {

struct ReadSheet {
    std::string name;
    size_t rows = 0, columns = 0;
    std::map<std::pair<size_t, size_t>, std::string> cells;  // non-empty cells as text

    std::string at(size_t row, size_t col) const {
        auto it = cells.find({row, col});
        return it == cells.end() ? std::string() : it->second;
    }
};
using ReadBook = std::vector<ReadSheet>;

// Every sheet through xlrd; numbers come back as Python's repr. `error`
// receives xlrd's complaint when it refuses the file.
std::optional<ReadBook> readWithXlrd(const std::filesystem::path& xls,
                                     std::string* error = nullptr);

// Every sheet through FreeXL; nullopt when FreeXL refuses the file or the
// library is missing (then `error` says so).
std::optional<ReadBook> readWithFreeXl(const std::filesystem::path& xls,
                                       std::string* error = nullptr);

// The first sheet as LibreOffice exports it to UTF-8 CSV.
std::optional<std::vector<std::vector<std::string>>> readWithLibreOffice(
    const std::filesystem::path& xls, const std::filesystem::path& workDir);

// A loaded template made from the blank workbook in `dir`.
xls::ExportTemplate blankTemplate(const std::filesystem::path& dir);

// Rows x columns of texts "r<row>c<col>" plus `suffix`.
std::vector<std::vector<std::string>> gridOf(size_t rows, size_t columns,
                                             const std::string& suffix = "");

// The record types of the Workbook stream of `xls`, with each record's data.
struct RawRecord {
    uint16_t type;
    size_t offset;
    std::vector<uint8_t> data;
};
std::vector<RawRecord> workbookRecords(const std::filesystem::path& xls,
                                       std::vector<uint8_t>* stream = nullptr);

}  // namespace tabrovin::testing
