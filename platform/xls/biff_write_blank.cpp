// The blank workbook: the records Excel itself writes for a new book with one
// empty sheet, reduced to those that Excel, WPS and LibreOffice need.

#include <cstring>

#include "platform/xls/biff_record.h"
#include "platform/xls/biff_write_file.h"
#include "platform/xls/biff_write_sst.h"
#include "platform/xls/xls_writer.h"

namespace tabrovin::xls {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes words(std::initializer_list<uint16_t> values) {
    Bytes d;
    for (uint16_t v : values) put16(d, v);
    return d;
}

void add(RecordWriter& w, uint16_t type, const Bytes& data) {
    w.write(type, data);
}

Bytes bof(uint16_t kind) {
    Bytes d = words({0x0600, kind, 0x0DBB, 0x07CC});
    put32(d, 0);
    put32(d, 6);  // lowest BIFF version that saved the file: BIFF8
    return d;
}

Bytes writeAccess() {
    const char user[] = "Tabrovin";
    Bytes d = words({static_cast<uint16_t>(sizeof user - 1)});
    d.push_back(0);
    d.insert(d.end(), user, user + sizeof user - 1);
    d.resize(112, ' ');
    return d;
}

// 宋体 12 pt, the default font of Chinese Excel.
Bytes font() {
    Bytes d = words({240, 0, 0x7FFF, 400, 0});
    d.insert(d.end(), {0, 0, 134, 0});  // underline, family, GB2312 charset, reserved
    d.insert(d.end(), {2, 1});          // two characters, UTF-16
    put16(d, 0x5B8B);
    put16(d, 0x4F53);
    return d;
}

// Style XFs 0-14 and the default cell XF 15, as in every Excel workbook.
// Style XFs other than Normal mark every attribute group as not their own.
Bytes xf(bool style, uint16_t fontIndex, bool normal) {
    Bytes d = words({fontIndex, 0, static_cast<uint16_t>(style ? 0xFFF5 : 0x0001)});
    d.insert(d.end(), {0x20, 0, 0, static_cast<uint8_t>(style && !normal ? 0xF4 : 0)});
    put32(d, 0);
    put32(d, 0);
    put16(d, 0x20C0);  // automatic pattern colours
    return d;
}

void writeGlobals(RecordWriter& w, size_t& sheetPosAt) {
    add(w, rec::kBof, bof(0x0005));
    add(w, 0x00E1, words({1200}));  // INTERFACEHDR
    add(w, 0x00C1, words({0}));     // MMS
    add(w, 0x00E2, {});             // INTERFACEEND
    add(w, 0x005C, writeAccess());
    add(w, rec::kCodePage, words({1200}));
    add(w, 0x0161, words({0}));     // DSF
    add(w, 0x013D, words({1}));     // TABID
    add(w, 0x009C, words({0x0E}));  // FNGROUPCOUNT
    for (uint16_t t : {0x0019, 0x0012, 0x0013, 0x01AF, 0x01BC, 0x0040, 0x008D})
        add(w, t, words({0}));  // protection off, no backup, objects shown
    add(w, 0x003D, words({0, 0, 0x4000, 0x2000, 0x0038, 0, 0, 1, 600}));  // WINDOW1
    add(w, rec::kDate1904, words({0}));
    add(w, 0x000E, words({1}));  // CALCPRECISION
    add(w, 0x01B7, words({0}));  // REFRESHALL
    add(w, 0x00DA, words({0}));  // BOOKBOOL
    for (int i = 0; i < 4; ++i) add(w, 0x0031, font());
    add(w, rec::kXf, xf(true, 0, true));
    for (uint16_t i = 1; i < 15; ++i)
        add(w, rec::kXf, xf(true, i <= 2 ? 1 : i <= 4 ? 2 : 0, false));
    add(w, rec::kXf, xf(false, 0, false));
    add(w, 0x0293, words({0x8000, 0xFF00}));  // STYLE: built-in Normal on XF 0
    add(w, 0x0160, words({1}));               // USESELFS
    sheetPosAt = w.size() + 4;
    add(w, rec::kBoundSheet, {0, 0, 0, 0, 0, 0, 6, 0, 'S', 'h', 'e', 'e', 't', '1'});
    add(w, 0x008C, words({86, 86}));  // COUNTRY: China
    SstWriter sst(w.bytes(), 0, 0);
    sst.finish();
    add(w, rec::kEof, {});
}

void writeSheet(RecordWriter& w) {
    add(w, rec::kBof, bof(0x0010));
    size_t indexAt = w.size() + 4;
    add(w, rec::kIndex, Bytes(16, 0));
    add(w, 0x000D, words({1}));    // CALCMODE: automatic
    add(w, 0x000C, words({100}));  // CALCCOUNT
    add(w, 0x000F, words({1}));    // REFMODE: A1
    add(w, 0x0011, words({0}));    // ITERATION
    double delta = 0.001;
    Bytes d(8);
    std::memcpy(d.data(), &delta, 8);
    add(w, 0x0010, d);                    // DELTA
    add(w, 0x005F, words({1}));           // SAVERECALC
    add(w, 0x002A, words({0}));           // PRINTHEADERS
    add(w, 0x002B, words({0}));           // PRINTGRIDLINES
    add(w, 0x0082, words({1}));           // GRIDSET
    add(w, 0x0080, words({0, 0, 0, 0}));  // GUTS
    add(w, 0x0225, words({0, 285}));      // DEFAULTROWHEIGHT: 14.25 pt
    add(w, 0x0081, words({0x04C1}));      // WSBOOL
    size_t defColWidth = w.size();
    add(w, 0x0055, words({8}));  // DEFCOLWIDTH
    add(w, rec::kDimensions, Bytes(14, 0));
    add(w, 0x023E, words({0x06B6, 0, 0, 64, 0, 0, 0, 0, 0}));  // WINDOW2
    Bytes selection{3};
    Bytes rest = words({0, 0, 0, 1, 0, 0, 0});
    selection.insert(selection.end(), rest.begin(), rest.end());
    add(w, 0x001D, selection);  // SELECTION: A1
    add(w, rec::kEof, {});
    store32(w.bytes().data() + indexAt + 12, static_cast<uint32_t>(defColWidth));
}

}  // namespace

Status writeBlankWorkbook(const std::filesystem::path& out) {
    RecordWriter w;
    size_t sheetPosAt = 0;
    writeGlobals(w, sheetPosAt);
    size_t sheetStart = w.size();
    writeSheet(w);
    auto& bytes = w.bytes();
    store32(bytes.data() + sheetPosAt, static_cast<uint32_t>(sheetStart));
    if (bytes.size() < 4096) bytes.resize(4096, 0);  // keep out of the mini stream
    return writeWorkbookFile(out, {Stream{"Workbook", std::move(bytes)}});
}

}  // namespace tabrovin::xls
