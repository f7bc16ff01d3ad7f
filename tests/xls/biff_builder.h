#pragma once
// Builds BIFF workbook streams record by record, for cases no spreadsheet
// program writes on request: BIFF5 with a code page, damaged and hostile
// streams, and sizes that would take too long to produce otherwise.

#include <cstring>
#include <string>
#include <vector>

#include "platform/encoding.h"
#include "platform/xls/biff_record.h"

namespace tabrovin::xls::testutil {

using Bytes = std::vector<uint8_t>;

inline void append(Bytes& out, const Bytes& more) {
    out.insert(out.end(), more.begin(), more.end());
}
inline void appendText(Bytes& out, const std::string& s) {
    out.insert(out.end(), s.begin(), s.end());
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

// A BIFF8 string with a 16-bit length, stored as 16-bit characters unless
// every character fits in a byte.
inline Bytes unicodeString(const std::string& utf8) {
    std::u16string units;
    for (size_t i = 0; i < utf8.size();) {
        unsigned char c = utf8[i];
        char32_t cp = c;
        int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        cp = extra ? (c & (0x3F >> extra)) : c;
        for (int k = 1; k <= extra; ++k) cp = (cp << 6) | (utf8[i + k] & 0x3F);
        i += 1 + extra;
        units.push_back(static_cast<char16_t>(cp));  // tests use the BMP only
    }
    bool wide = false;
    for (char16_t u : units) wide = wide || u > 0xFF;
    Bytes d;
    put16(d, static_cast<uint16_t>(units.size()));
    d.push_back(wide ? 1 : 0);
    for (char16_t u : units) {
        d.push_back(static_cast<uint8_t>(u));
        if (wide) d.push_back(static_cast<uint8_t>(u >> 8));
    }
    return d;
}

struct Rec {
    uint16_t type;
    Bytes data;
};

// A workbook stream: BOF, `globals`, one BOUNDSHEET per sheet (worksheets,
// unless `sheetTypes` says otherwise), EOF, then each sheet's substream.
struct StreamBuilder {
    uint16_t version = 0x0600;  // 0x0500 for BIFF5
    std::vector<Rec> globals;
    std::vector<std::vector<Rec>> sheets;
    std::vector<uint8_t> sheetTypes;

    Bytes build() const {
        RecordWriter w;
        w.write(rec::kBof, bof(0x0005));
        for (const Rec& r : globals) raw(w, r);
        std::vector<size_t> patch;
        for (size_t i = 0; i < sheets.size(); ++i) {
            Bytes d;
            put32(d, 0);
            d.push_back(0);
            d.push_back(i < sheetTypes.size() ? sheetTypes[i] : 0);
            std::string name = "S" + std::to_string(i + 1);
            d.push_back(static_cast<uint8_t>(name.size()));
            if (version == 0x0600) d.push_back(0);
            appendText(d, name);
            patch.push_back(w.size() + 4);
            w.write(rec::kBoundSheet, d);
        }
        w.write(rec::kEof, {});
        for (size_t i = 0; i < sheets.size(); ++i) {
            uint32_t at = static_cast<uint32_t>(w.size());
            for (int k = 0; k < 4; ++k)
                w.bytes()[patch[i] + k] = static_cast<uint8_t>(at >> (8 * k));
            w.write(rec::kBof, bof(0x0010));
            for (const Rec& r : sheets[i]) raw(w, r);
            w.write(rec::kEof, {});
        }
        return w.bytes();
    }

  private:
    Bytes bof(uint16_t kind) const {
        Bytes d;
        put16(d, version);
        put16(d, kind);
        put16(d, 0);
        put16(d, 1997);
        if (version == 0x0600) put32(d, 0), put32(d, 0x0600);
        return d;
    }
    // Records go out as given, however long, so CONTINUE layouts stay exact.
    static void raw(RecordWriter& w, const Rec& r) {
        auto& b = w.bytes();
        put16(b, r.type);
        put16(b, static_cast<uint16_t>(r.data.size()));
        append(b, r.data);
    }
};

}  // namespace tabrovin::xls::testutil
