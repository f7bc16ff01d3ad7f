#pragma once
// Shared by the .xls reader tests: a workbook read whole, and BIFF streams
// built record by record for the cases no spreadsheet program writes on
// request (BIFF5, damaged or hostile streams).

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/encoding.h"
#include "platform/xls/biff_record.h"
#include "platform/xls/biff_workbook.h"
#include "platform/xls/xls_reader.h"
#include "tests/sheets/sheet_test_util.h"

namespace tabrovin::xls::testutil {

using Grid = std::vector<std::vector<std::string>>;
using Bytes = std::vector<uint8_t>;
using testing::failsWith;

// Rows first..last, `columns` wide (all of the sheet's size when left out),
// checking that rows arrive in order and the read succeeds.
inline Grid readGrid(Worksheet& sheet, int32_t first = 1, int32_t last = -1, int32_t columns = -1) {
    SheetSize s = sheet.size();
    Grid grid;
    Status st = testing::readGrid(sheet, first, last < 0 ? s.rows : last,
                                  columns < 0 ? s.columns : columns, grid);
    EXPECT_TRUE(st.ok()) << (st.ok() ? "" : st.error().description);
    return grid;
}

// Sheet `n` of a workbook stream read whole, or the error's description alone.
inline Grid sheetOf(const Bytes& stream, int n = 1) {
    auto book = parseWorkbookStream(stream, "built.xls");
    auto sheet = book ? (*book)->worksheet(n) : book.error();
    return sheet ? readGrid(**sheet) : Grid{{sheet.error().description}};
}

// The error of parsing `stream` and taking its sheet `n` (number 0 if none).
inline Error sheetError(const Bytes& stream, int n = 1) {
    auto book = parseWorkbookStream(stream, "built.xls");
    auto sheet = book ? (*book)->worksheet(n) : book.error();
    return sheet ? Error{} : sheet.error();
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

// Text as BIFF2-5 store it after `d`: a 16-bit length, then bytes in the code page.
inline Bytes byteString(Bytes d, std::string_view bytes) {
    put16(d, static_cast<uint16_t>(bytes.size()));
    append(d, bytes);
    return d;
}

struct Rec {
    uint16_t type;
    Bytes data;
};

inline Rec codePage(uint16_t number) {
    Bytes d;
    put16(d, number);
    return {rec::kCodePage, d};
}

inline Rec number(uint16_t row, uint16_t col, double v, uint16_t xf = 15) {
    Bytes d = cellHead(row, col, xf);
    putDouble(d, v);
    return {rec::kNumber, d};
}

inline Rec label(uint16_t row, uint16_t col, const std::string& text) {
    Bytes d = cellHead(row, col);
    Bytes s = unicodeString(text);
    d.insert(d.end(), s.begin(), s.end());
    return {rec::kLabel, d};
}

// A formula's 8-byte result saying that its text follows in a STRING record.
inline const Bytes kTextResult = {0, 0, 0, 0, 0, 0, 0xFF, 0xFF};

// A formula record's data: cell head, an 8-byte result, flags, a reserved
// field and an empty token list.
inline Bytes formulaCell(uint16_t row, uint16_t col, Bytes result) {
    Bytes d = cellHead(row, col);
    d.insert(d.end(), result.begin(), result.end());
    d.resize(d.size() + 8, 0);
    return d;
}

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
