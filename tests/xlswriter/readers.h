#pragma once
// Independent readers for the workbooks the writer produces (Debian's xlrd,
// LibreOffice's UTF-8 CSV export, FreeXL), and the raw records for checks
// that readers do not make.

#include <dlfcn.h>
#include <freexl.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/xls/biff_record.h"
#include "platform/xls/compound_file.h"
#include "platform/xls/xls_writer.h"
#include "tests/support/test_support.h"

namespace tabrovin::testing {

using Grid = std::vector<std::vector<std::string>>;

// A sheet as a reader sees it: its rows, each without trailing empty cells.
struct ReadSheet {
    std::string name;
    Grid rows;
    bool operator==(const ReadSheet&) const = default;
};
using ReadBook = std::vector<ReadSheet>;

// Every sheet of an .xls through xlrd (numbers as Python's repr), or a .csv as
// one sheet; `error` receives what Python said.
inline std::optional<ReadBook> readBook(const std::filesystem::path& file,
                                        std::string* error = nullptr) {
    static const char* script = R"(
import sys, csv, xlrd
p, out = sys.argv[1], []
if p.endswith(".csv"):
    book = [("", list(csv.reader(open(p, encoding="utf-8", newline=""))))]
else:
    book = [(s.name, [s.row_values(r) for r in range(s.nrows)]) for s in xlrd.open_workbook(p).sheets()]
for name, rows in book:
    out.append("\x1d" + name)
    for row in rows:
        row = [v if isinstance(v, str) else repr(v) for v in row]
        while row and row[-1] == "": row.pop()
        out.append("\x1e" + "".join("\x1f" + v for v in row))
print("".join(out).encode("utf-8", "surrogatepass").hex())
)";
    CommandResult r = runPython(script, shellQuote(file.string()));
    if (error) *error = r.output.substr(0, 2000);
    if (r.exitCode != 0) return std::nullopt;
    ReadBook book;
    std::string* to = nullptr;  // the name or cell being read
    auto nibble = [&](size_t i) { return r.output[i] - (r.output[i] <= '9' ? '0' : 'a' - 10); };
    for (size_t i = 0; i + 1 < r.output.size() && r.output[i] != '\n'; i += 2) {
        char ch = static_cast<char>(nibble(i) * 16 + nibble(i + 1));
        if (ch == '\x1d')
            to = &book.emplace_back().name;
        else if (ch == '\x1e')
            book.back().rows.emplace_back();
        else if (ch == '\x1f')
            to = &book.back().rows.back().emplace_back();
        else
            *to += ch;
    }
    return book;
}

// The first sheet's texts through FreeXL, loaded at run time; nullopt when
// FreeXL refuses the file.
inline std::optional<Grid> readWithFreeXl(const std::filesystem::path& xls) {
    static void* lib = dlopen("libfreexl.so.1", RTLD_NOW);
#define TABROVIN_FREEXL(f) auto f##_ = reinterpret_cast<decltype(&f)>(lib ? dlsym(lib, #f) : 0)
    TABROVIN_FREEXL(freexl_open);
    TABROVIN_FREEXL(freexl_select_active_worksheet);
    TABROVIN_FREEXL(freexl_worksheet_dimensions);
    TABROVIN_FREEXL(freexl_get_cell_value);
    TABROVIN_FREEXL(freexl_close);
#undef TABROVIN_FREEXL
    const void* h = nullptr;
    unsigned int rows = 0;
    unsigned short columns = 0;
    bool ok = lib && freexl_open_(xls.c_str(), &h) == FREEXL_OK &&
              freexl_select_active_worksheet_(h, 0) == FREEXL_OK &&
              freexl_worksheet_dimensions_(h, &rows, &columns) == FREEXL_OK;
    Grid grid(ok ? rows : 0);
    FreeXL_CellValue v;
    for (unsigned int r = 0; r < grid.size(); ++r) {
        for (unsigned short c = 0; c < columns; ++c)
            grid[r].push_back(freexl_get_cell_value_(h, r, c, &v) == FREEXL_OK &&
                                      (v.type == FREEXL_CELL_TEXT || v.type == FREEXL_CELL_SST_TEXT)
                                  ? v.value.text_value
                                  : "");
        while (!grid[r].empty() && grid[r].back().empty()) grid[r].pop_back();
    }
    if (h) freexl_close_(h);
    return ok ? std::optional(grid) : std::nullopt;
}

// Converts every file to UTF-8 CSV (first sheet) with one LibreOffice run;
// file `x.xls` becomes `outDir/x.csv`.
inline bool convertToCsv(const std::vector<std::filesystem::path>& files,
                         const std::filesystem::path& outDir) {
    TempDir profile;
    std::string cmd = "HOME=" + shellQuote(profile.path().string()) +
                      " timeout 300 soffice --headless --norestore -env:UserInstallation=file://" +
                      profile.path().string() + " --convert-to " +
                      shellQuote("csv:Text - txt - csv (StarCalc):44,34,76,1") + " --outdir " +
                      shellQuote(outDir.string());
    for (const auto& f : files) cmd += " " + shellQuote(f.string());
    return run(cmd).exitCode == 0;
}

// The error number and description of a Status or Result; 0 and "" when ok.
template <class T>
int numberOf(const T& r) {
    return r.ok() ? 0 : r.error().number;
}
template <class T>
std::string textOf(const T& r) {
    return r.ok() ? "" : r.error().description;
}

// A loaded template made from the blank workbook, written into `dir`.
inline xls::ExportTemplate blankTemplate(const std::filesystem::path& dir) {
    EXPECT_TRUE(xls::writeBlankWorkbook(dir / "blank-template.xls").ok());
    return xls::ExportTemplate::load(dir / "blank-template.xls").value();
}

// Rows x columns of texts "r<row>c<col>".
inline Grid gridOf(size_t rows, size_t columns) {
    Grid g(rows);
    for (size_t r = 0; r < rows; ++r)
        for (size_t c = 0; c < columns; ++c)
            g[r].push_back("r" + std::to_string(r) + "c" + std::to_string(c));
    return g;
}

// The records of the Workbook stream, CONTINUEs kept apart.
struct RawRecord {
    uint16_t type;
    size_t offset;
    std::vector<uint8_t> data;
};
inline std::vector<RawRecord> workbookRecords(const std::filesystem::path& xls) {
    std::vector<RawRecord> out;
    auto streams = xls::readCompoundFile(xls);
    for (auto& s : streams ? *streams : std::vector<xls::Stream>()) {
        if (s.path != "Workbook") continue;
        xls::RecordReader reader(s.data);
        for (xls::Record r; reader.next(r, false);)
            out.push_back({r.type, r.offset, {r.data.begin(), r.data.end()}});
    }
    return out;
}

// The first record of `type`, or null.
inline const RawRecord* findRecord(const std::vector<RawRecord>& recs, uint16_t type) {
    for (const auto& r : recs)
        if (r.type == type) return &r;
    return nullptr;
}

}  // namespace tabrovin::testing
