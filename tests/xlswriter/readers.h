#pragma once
// Independent readers (Debian's xlrd, LibreOffice's CSV export) for the
// workbooks the writer produces, and their raw records for what readers ignore.

#include <gtest/gtest.h>

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

// `file` through `reader`: "xlrd" (every sheet, numbers as Python's repr) or
// "csv" (one sheet). A refusal is a test failure that shows what the reader said.
inline std::optional<ReadBook> readBook(const std::filesystem::path& file,
                                        const std::string& reader = "xlrd") {
    static const char* script = R"(
import sys, csv, xlrd
p, reader, out = sys.argv[1], sys.argv[2], []
if reader == "csv":
    book = [("", list(csv.reader(open(p, encoding="utf-8", newline=""))))]
else:
    sheets = xlrd.open_workbook(p).sheets()
    book = [(s.name, [s.row_values(r) for r in range(s.nrows)]) for s in sheets]
for name, rows in book:
    out.append("\x1d" + name)
    for row in rows:
        row = [v if isinstance(v, str) else repr(v) for v in row]
        while row and row[-1] == "": row.pop()
        out.append("\x1e" + "".join("\x1f" + v for v in row))
print("".join(out).encode("utf-8", "surrogatepass").hex())
)";
    CommandResult r = runPython(script, shellQuote(file.string()) + " " + reader);
    if (r.exitCode != 0) {
        ADD_FAILURE() << reader << " refuses " << file << ": " << r.output.substr(0, 2000);
        return std::nullopt;
    }
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

// Converts every file to UTF-8 CSV (first sheet) with one LibreOffice run;
// `x.xls` becomes `outDir/x.csv`.
inline bool convertToCsv(const std::vector<std::filesystem::path>& files,
                         const std::filesystem::path& outDir) {
    TempDir profile;  // private, so that parallel runs do not share one
    std::string cmd = "HOME=" + profile.path().string() + " timeout 300 soffice --headless" +
                      " --norestore -env:UserInstallation=file://" + profile.path().string() +
                      " --convert-to 'csv:Text - txt - csv (StarCalc):44,34,76,1' --outdir " +
                      shellQuote(outDir.string());
    for (const auto& f : files) cmd += " " + shellQuote(f.string());
    return run(cmd).exitCode == 0;
}

// The error of a Status or Result; number 0 when it is ok.
template <class T>
Error errorOf(const T& r) {
    return r.ok() ? Error{} : r.error();
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
        xls::RecordReader reader(s.data);
        for (xls::Record r; s.path == "Workbook" && reader.next(r, false);)
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
