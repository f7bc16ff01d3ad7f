#pragma once
// Independent readers for the workbooks the writer produces (Debian's xlrd,
// LibreOffice's UTF-8 CSV export, FreeXL), and the raw records for checks
// that readers do not make.

#include <dlfcn.h>
#include <freexl.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <sstream>
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
    std::string at(size_t r, size_t c) const {
        return r < rows.size() && c < rows[r].size() ? rows[r][c] : "";
    }
};
using ReadBook = std::vector<ReadSheet>;

// Every sheet of an .xls through xlrd (numbers as Python's repr), or a .csv as
// one sheet; texts travel as hex so that line feeds and spaces survive.
inline std::optional<ReadBook> readBook(const std::filesystem::path& file,
                                        std::string* error = nullptr) {
    static const char* script = R"(
import sys, csv, xlrd
def dump(name, rows):
    print("S", name.encode().hex())
    for row in rows:
        row = [v if isinstance(v, str) else repr(v) for v in row]
        while row and row[-1] == "": row.pop()
        print("R", *[v.encode("utf-8", "surrogatepass").hex() or "-" for v in row])
p = sys.argv[1]
if p.endswith(".csv"):
    dump("", list(csv.reader(open(p, encoding="utf-8", newline=""))))
else:
    for s in xlrd.open_workbook(p).sheets():
        dump(s.name, [s.row_values(r) for r in range(s.nrows)])
)";
    CommandResult r = runPython(script, shellQuote(file.string()));
    if (error) *error = r.output.substr(0, 2000);
    if (r.exitCode != 0) return std::nullopt;
    auto unhex = [](const std::string& hex) {
        std::string text;
        for (size_t i = 0; i + 1 < hex.size(); i += 2)
            text.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
        return text;
    };
    ReadBook book;
    std::istringstream in(r.output);
    for (std::string line, kind, hex; std::getline(in, line);) {
        std::istringstream words(line);
        std::vector<std::string> texts;
        for (words >> kind; words >> hex;) texts.push_back(unhex(hex));
        if (kind == "S")
            book.push_back({texts.empty() ? "" : texts[0], {}});
        else if (kind == "R" && !book.empty())
            book.back().rows.push_back(texts);
        else
            return std::nullopt;
    }
    return book;
}

// Every sheet through FreeXL, loaded at run time; nullopt when it refuses.
inline std::optional<ReadBook> readWithFreeXl(const std::filesystem::path& xls) {
    static void* lib = dlopen("libfreexl.so.1", RTLD_NOW);
#define TABROVIN_FREEXL(f) auto f##_ = reinterpret_cast<decltype(&f)>(dlsym(lib, #f))
    if (!lib) return std::nullopt;
    TABROVIN_FREEXL(freexl_open);
    TABROVIN_FREEXL(freexl_close);
    TABROVIN_FREEXL(freexl_get_info);
    TABROVIN_FREEXL(freexl_get_worksheet_name);
    TABROVIN_FREEXL(freexl_select_active_worksheet);
    TABROVIN_FREEXL(freexl_worksheet_dimensions);
    TABROVIN_FREEXL(freexl_get_cell_value);
#undef TABROVIN_FREEXL
    const void* h = nullptr;
    unsigned int count = 0, rows = 0;
    unsigned short columns = 0;
    bool ok = freexl_open_(xls.string().c_str(), &h) == FREEXL_OK &&
              freexl_get_info_(h, FREEXL_BIFF_SHEET_COUNT, &count) == FREEXL_OK;
    ReadBook book(count);
    for (unsigned short i = 0; ok && i < count; ++i) {
        const char* name = "";
        ok = freexl_get_worksheet_name_(h, i, &name) == FREEXL_OK &&
             freexl_select_active_worksheet_(h, i) == FREEXL_OK &&
             freexl_worksheet_dimensions_(h, &rows, &columns) == FREEXL_OK;
        book[i] = {name, Grid(ok ? rows : 0, std::vector<std::string>(columns))};
        FreeXL_CellValue v;
        for (unsigned int r = 0; r < book[i].rows.size(); ++r) {
            auto& row = book[i].rows[r];
            for (unsigned short c = 0; c < columns; ++c)
                if (freexl_get_cell_value_(h, r, c, &v) == FREEXL_OK &&
                    (v.type == FREEXL_CELL_TEXT || v.type == FREEXL_CELL_SST_TEXT))
                    row[c] = v.value.text_value;
            while (!row.empty() && row.back().empty()) row.pop_back();
        }
    }
    if (h) freexl_close_(h);
    return ok ? std::optional(book) : std::nullopt;
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
inline std::vector<RawRecord> workbookRecords(const std::filesystem::path& xls,
                                              std::vector<uint8_t>* stream = nullptr) {
    std::vector<RawRecord> out;
    auto streams = xls::readCompoundFile(xls);
    for (auto& s : streams ? *streams : std::vector<xls::Stream>()) {
        if (s.path != "Workbook") continue;
        xls::RecordReader reader(s.data);
        for (xls::Record r; reader.next(r, false);)
            out.push_back({r.type, r.offset, {r.data.begin(), r.data.end()}});
        if (stream) *stream = s.data;
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
