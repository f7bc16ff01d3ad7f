#include "tests/xlswriter/readers.h"

#include <dlfcn.h>
#include <freexl.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/xls/biff_record.h"
#include "platform/xls/compound_file.h"
#include "tests/support/test_support.h"

namespace tabrovin::testing {
namespace fs = std::filesystem;

namespace {

std::string fromHex(const std::string& hex) {
    std::string out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return out;
}

const char* kXlrdDump = R"(
import sys, xlrd
b = xlrd.open_workbook(sys.argv[1])
for s in b.sheets():
    print("S", s.name.encode().hex() or "-", s.nrows, s.ncols)
    for r in range(s.nrows):
        for c in range(s.ncols):
            v = s.cell_value(r, c)
            if v == "": continue
            t = v if isinstance(v, str) else repr(v)
            print("C", r, c, t.encode("utf-8", "surrogatepass").hex())
)";

}  // namespace

std::optional<ReadBook> readWithXlrd(const fs::path& xls, std::string* error) {
    CommandResult r = runPython(kXlrdDump, shellQuote(xls.string()));
    if (r.exitCode != 0) {
        if (error) *error = r.output;
        return std::nullopt;
    }
    ReadBook book;
    std::istringstream in(r.output);
    std::string kind;
    while (in >> kind) {
        if (kind == "S") {
            ReadSheet s;
            std::string name;
            in >> name >> s.rows >> s.columns;
            s.name = name == "-" ? "" : fromHex(name);
            book.push_back(std::move(s));
        } else if (kind == "C" && !book.empty()) {
            size_t row, col;
            std::string hex;
            in >> row >> col >> hex;
            book.back().cells[{row, col}] = fromHex(hex);
        } else {
            if (error) *error = "unexpected xlrd output: " + r.output.substr(0, 500);
            return std::nullopt;
        }
    }
    return book;
}

std::optional<ReadBook> readWithFreeXl(const fs::path& xls, std::string* error) {
    static void* lib = dlopen("libfreexl.so.1", RTLD_NOW);
    if (!lib) {
        if (error) *error = "libfreexl.so.1 not found";
        return std::nullopt;
    }
    auto open = reinterpret_cast<decltype(&freexl_open)>(dlsym(lib, "freexl_open"));
    auto close = reinterpret_cast<decltype(&freexl_close)>(dlsym(lib, "freexl_close"));
    auto info = reinterpret_cast<decltype(&freexl_get_info)>(dlsym(lib, "freexl_get_info"));
    auto name = reinterpret_cast<decltype(&freexl_get_worksheet_name)>(
        dlsym(lib, "freexl_get_worksheet_name"));
    auto select = reinterpret_cast<decltype(&freexl_select_active_worksheet)>(
        dlsym(lib, "freexl_select_active_worksheet"));
    auto dims = reinterpret_cast<decltype(&freexl_worksheet_dimensions)>(
        dlsym(lib, "freexl_worksheet_dimensions"));
    auto cell =
        reinterpret_cast<decltype(&freexl_get_cell_value)>(dlsym(lib, "freexl_get_cell_value"));
    const void* h = nullptr;
    int rc = open(xls.string().c_str(), &h);
    if (rc != FREEXL_OK) {
        if (error) *error = "freexl_open failed: " + std::to_string(rc);
        if (h) close(h);
        return std::nullopt;
    }
    unsigned int count = 0;
    info(h, FREEXL_BIFF_SHEET_COUNT, &count);
    ReadBook book;
    for (unsigned short i = 0; i < count; ++i) {
        ReadSheet s;
        const char* n = nullptr;
        if (name(h, i, &n) == FREEXL_OK && n) s.name = n;
        unsigned int rows = 0;
        unsigned short cols = 0;
        if (select(h, i) != FREEXL_OK || dims(h, &rows, &cols) != FREEXL_OK) {
            close(h);
            if (error) *error = "freexl cannot select sheet " + std::to_string(i);
            return std::nullopt;
        }
        s.rows = rows;
        s.columns = cols;
        for (unsigned int r = 0; r < rows; ++r)
            for (unsigned short c = 0; c < cols; ++c) {
                FreeXL_CellValue v;
                if (cell(h, r, c, &v) != FREEXL_OK) continue;
                if (v.type == FREEXL_CELL_TEXT || v.type == FREEXL_CELL_SST_TEXT)
                    s.cells[{r, c}] = v.value.text_value;
                else if (v.type == FREEXL_CELL_INT)
                    s.cells[{r, c}] = std::to_string(v.value.int_value);
                else if (v.type == FREEXL_CELL_DOUBLE)
                    s.cells[{r, c}] = std::to_string(v.value.double_value);
            }
        book.push_back(std::move(s));
    }
    close(h);
    return book;
}

std::optional<std::vector<std::vector<std::string>>> readWithLibreOffice(const fs::path& xls,
                                                                         const fs::path& workDir) {
    // UTF-8 CSV needs filter options with spaces, so the command is built here.
    TempDir profile;
    fs::path outDir = workDir / "lo-csv";
    fs::create_directories(outDir);
    std::string cmd = "HOME=" + shellQuote(profile.path().string()) +
                      " timeout 180 soffice --headless --norestore -env:UserInstallation=file://" +
                      profile.path().string() + " --convert-to " +
                      shellQuote("csv:Text - txt - csv (StarCalc):44,34,76,1") + " --outdir " +
                      shellQuote(outDir.string()) + " " + shellQuote(xls.string());
    fs::path csv = outDir / xls.stem();
    csv += ".csv";
    if (run(cmd).exitCode != 0 || !fs::exists(csv)) return std::nullopt;
    std::string text = readFile(csv);
    std::vector<std::vector<std::string>> rows(1);
    std::string field;
    bool quoted = false, any = false;
    for (size_t i = 0; i < text.size(); ++i) {
        char ch = text[i];
        if (quoted) {
            if (ch == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (ch == '"') {
                quoted = false;
            } else {
                field += ch;
            }
        } else if (ch == '"') {
            quoted = any = true;
        } else if (ch == ',') {
            rows.back().push_back(std::move(field));
            field.clear();
        } else if (ch == '\n') {
            rows.back().push_back(std::move(field));
            field.clear();
            rows.emplace_back();
        } else if (ch != '\r') {
            field += ch;
        }
    }
    if (!field.empty() || !rows.back().empty()) rows.back().push_back(field);
    if (rows.back().empty()) rows.pop_back();
    (void)any;
    return rows;
}

xls::ExportTemplate blankTemplate(const fs::path& dir) {
    fs::path path = dir / "blank-template.xls";
    Status s = xls::writeBlankWorkbook(path);
    EXPECT_TRUE(s.ok()) << (s.ok() ? "" : s.error().description);
    auto t = xls::ExportTemplate::load(path);
    if (!t) throw std::runtime_error("blank template does not load: " + t.error().description);
    return *t;
}

std::vector<std::vector<std::string>> gridOf(size_t rows, size_t columns,
                                             const std::string& suffix) {
    std::vector<std::vector<std::string>> g(rows);
    for (size_t r = 0; r < rows; ++r)
        for (size_t c = 0; c < columns; ++c)
            g[r].push_back("r" + std::to_string(r) + "c" + std::to_string(c) + suffix);
    return g;
}

std::vector<RawRecord> workbookRecords(const fs::path& xls, std::vector<uint8_t>* stream) {
    std::vector<RawRecord> out;
    auto streams = xls::readCompoundFile(xls);
    if (!streams) return out;
    for (auto& s : *streams) {
        if (s.path != "Workbook") continue;
        xls::RecordReader reader(s.data);
        xls::Record r;
        while (reader.next(r, false))
            out.push_back({r.type, r.offset, std::vector<uint8_t>(r.data.begin(), r.data.end())});
        if (stream) *stream = s.data;
    }
    return out;
}

}  // namespace tabrovin::testing
