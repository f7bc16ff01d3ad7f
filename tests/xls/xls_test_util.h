#pragma once
// Shared by the .xls reader tests: a workbook read whole, the same workbook as
// xlrd sees it, and BIFF streams built record by record for the cases no
// spreadsheet program writes on request (BIFF5, damaged or hostile streams).

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/encoding.h"
#include "platform/xls/biff_record.h"
#include "platform/xls/xls_reader.h"
#include "tests/support/test_support.h"

namespace tabrovin::xls::testutil {

using Grid = std::vector<std::vector<std::string>>;
using Bytes = std::vector<uint8_t>;

// Every row and column of the sheet's size, checking rows arrive in order.
inline Grid readGrid(Worksheet& sheet) {
    Grid grid;
    SheetSize s = sheet.size();
    Status st = sheet.readRows(1, s.rows, s.columns, [&](int32_t row, const auto& cells) {
        EXPECT_EQ(row, static_cast<int32_t>(grid.size()) + 1);
        EXPECT_EQ(cells.size(), static_cast<size_t>(s.columns));
        grid.push_back(cells);
        return Status::Ok();
    });
    EXPECT_TRUE(st.ok()) << (st.ok() ? "" : st.error().description);
    return grid;
}

inline std::vector<Grid> readBook(const std::filesystem::path& path) {
    std::vector<Grid> out;
    auto book = openXlsWorkbook(path);
    EXPECT_TRUE(book.ok()) << (book.ok() ? "" : book.error().description);
    for (int n = 1; book && n <= (*book)->sheetCount(); ++n) {
        auto sheet = (*book)->worksheet(n);
        EXPECT_TRUE(sheet.ok()) << (sheet.ok() ? "" : sheet.error().description);
        out.push_back(sheet ? readGrid(**sheet) : Grid{});
    }
    return out;
}

inline std::vector<std::string> split(const std::string& s, char sep) {
    std::vector<std::string> out(1);
    for (char c : s) {
        if (c == sep)
            out.emplace_back();
        else
            out.back() += c;
    }
    return out;
}

// The workbook as xlrd reads it, rendered the way the program shows cells
// (whole numbers without a point, 15 significant digits, dates as y/m/d) and
// trimmed to the last row and column holding a value. Sheets, rows and cells
// come back separated by the control characters 0x1D, 0x1E and 0x1F.
inline std::vector<Grid> readWithXlrd(const std::filesystem::path& path) {
    static const char* kScript = R"PY(
import sys, xlrd
b = xlrd.open_workbook(sys.argv[1])
def text(c):
    t, v = c.ctype, c.value
    if t == xlrd.XL_CELL_NUMBER:
        return str(int(v)) if v == int(v) and abs(v) < 1e15 else '%.15G' % v
    if t == xlrd.XL_CELL_BOOLEAN: return 'TRUE' if v else 'FALSE'
    if t == xlrd.XL_CELL_ERROR: return xlrd.error_text_from_code[v]
    if t == xlrd.XL_CELL_DATE:
        y, m, d, hh, mm, ss = xlrd.xldate_as_tuple(v, b.datemode)
        if y == 0: return '%d:%02d:%02d' % (hh, mm, ss)
        return '%d/%d/%d' % (y, m, d) + (' %d:%02d' % (hh, mm) if hh or mm or ss else '')
    return str(v).replace('\0', '')
for s in b.sheets():
    g = [[text(c) for c in s.row(r)] for r in range(s.nrows)]
    rows = max([r + 1 for r, row in enumerate(g) if any(row)], default=0)
    cols = max([c + 1 for row in g for c, v in enumerate(row) if v], default=0)
    rows = ['\x1f'.join((row + [''] * cols)[:cols]) for row in g[:rows]]
    sys.stdout.buffer.write(('\x1d' + '\x1e'.join(rows)).encode())
)PY";
    auto r = testing::runPython(kScript, testing::shellQuote(path.string()));
    EXPECT_EQ(r.exitCode, 0) << r.output;
    std::vector<Grid> book;
    auto sheets = split(r.output, '\x1d');  // anything before the first is xlrd's chatter
    for (size_t n = 1; n < sheets.size(); ++n) {
        book.emplace_back();
        for (const auto& row : split(sheets[n], '\x1e'))
            if (!sheets[n].empty()) book.back().push_back(split(row, '\x1f'));
    }
    return book;
}

// --- BIFF streams ---

inline void append(Bytes& out, std::string_view more) {
    out.insert(out.end(), more.begin(), more.end());
}

inline Bytes cellHead(uint16_t row, uint16_t col, uint16_t xf = 15) {
    Bytes d;
    put16(d, row);
    put16(d, col);
    put16(d, xf);
    return d;
}

inline void putDouble(Bytes& d, double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    put32(d, static_cast<uint32_t>(bits));
    put32(d, static_cast<uint32_t>(bits >> 32));
}

// A BIFF8 string with a 16-bit length, as 8-bit characters when all fit.
inline Bytes unicodeString(const std::string& utf8) {
    std::string units = *encoding::fromUtf8(utf8, encoding::kUtf16Le);
    bool wide = false;
    for (size_t i = 1; i < units.size(); i += 2) wide = wide || units[i];
    Bytes d;
    put16(d, static_cast<uint16_t>(units.size() / 2));
    d.push_back(wide);
    for (size_t i = 0; i < units.size(); i += wide ? 1 : 2) d.push_back(units[i]);
    return d;
}

struct Rec {
    uint16_t type;
    Bytes data;
};

// Records go out as given, however long, so CONTINUE layouts stay exact.
inline void putRecord(Bytes& out, uint16_t type, const Bytes& data) {
    put16(out, type);
    put16(out, static_cast<uint16_t>(data.size()));
    out.insert(out.end(), data.begin(), data.end());
}

// A workbook stream: BOF, `globals`, a BOUNDSHEET per sheet, EOF, then each
// sheet's substream. `version` is 0x0600 for BIFF8, 0x0500 for BIFF5.
inline Bytes bookStream(const std::vector<Rec>& globals,
                        const std::vector<std::vector<Rec>>& sheets, uint16_t version = 0x0600) {
    Bytes out;
    auto bof = [&](uint16_t kind) {
        Bytes d;
        put16(d, version);
        put16(d, kind);
        d.resize(version == 0x0600 ? 16 : 8, 0);
        putRecord(out, rec::kBof, d);
    };
    bof(0x0005);
    for (const Rec& r : globals) putRecord(out, r.type, r.data);
    std::vector<size_t> offsets;
    for (size_t i = 0; i < sheets.size(); ++i) {
        offsets.push_back(out.size() + 4);
        Bytes d = {0, 0, 0, 0, 0, 0, 2};
        if (version == 0x0600) d.push_back(0);
        append(d, "S" + std::to_string(i + 1));
        putRecord(out, rec::kBoundSheet, d);
    }
    putRecord(out, rec::kEof, {});
    for (size_t i = 0; i < sheets.size(); ++i) {
        for (int k = 0; k < 4; ++k) out[offsets[i] + k] = static_cast<uint8_t>(out.size() >> 8 * k);
        bof(0x0010);
        for (const Rec& r : sheets[i]) putRecord(out, r.type, r.data);
        putRecord(out, rec::kEof, {});
    }
    return out;
}

}  // namespace tabrovin::xls::testutil
