#pragma once
// A template workbook taken apart for the page writer: the globals without
// their SST, the template's own strings, every sheet substream as bytes with
// the places that hold stream positions, and the first worksheet split into
// the parts around its cell table, whose rows are kept movable.

#include <array>
#include <cstdint>
#include <vector>

#include "platform/xls/biff_write_sst.h"
#include "platform/xls/compound_file.h"
#include "platform/xls/xls_writer.h"

namespace tabrovin::xls {

// A row number inside copied record bytes that follows the template rows down.
// A range's last row may stop at the sheet's last row (and one that is already
// there, a range to the end of the sheet, stays); any other row must fit.
struct RowField {
    uint32_t offset = 0;
    bool rangeEnd = false;
};

// Cell records of one template row (row 2 or below) that move with the page.
struct TemplateRow {
    uint16_t row = 0;
    std::vector<uint8_t> rowRecord;  // data of its ROW record; empty when it had none
    std::vector<uint8_t> cells;      // whole records, headers included, in stream order
    std::vector<RowField>
        rowFields;  // in `cells`: the cell rows, shared formula anchors and ranges
    bool hasCells = false;
    uint16_t colMin = 0xFFFF, colMax = 0;  // columns used, inclusive
};

// One cell of the template's row 1 (MULRK / MULBLANK split into single cells).
struct RowOneCell {
    uint16_t col = 0;
    uint16_t xf = 0;
    std::vector<uint8_t> bytes;       // whole records: the cell and what belongs to it
    std::vector<RowField> rowFields;  // in `bytes`: ends of the shared formula ranges it holds
};

// A sheet substream copied as is, except for the absolute stream positions
// (INDEX record) that follow it when it moves.
struct SheetPart {
    size_t oldOffset = 0;
    std::vector<uint8_t> bytes;
    std::vector<size_t> pointers;  // offsets in `bytes` of 32-bit stream positions
};

// Where a BOUNDSHEET's stream position field lies in the rebuilt globals.
struct SheetRef {
    bool inTail = false;  // in globalsTail (after the SST) rather than globalsHead
    size_t offset = 0;
    size_t part = 0;         // index into ExportTemplate::Impl::parts
    bool worksheet = false;  // listed as a worksheet, not a chart, macro sheet or module
};

struct ExportTemplate::Impl {
    std::vector<Stream> streams;  // all of the file; the Workbook stream's data left empty
    size_t workbookStream = 0;

    std::vector<uint8_t> globalsHead, globalsTail;  // the SST and EXTSST go between
    std::vector<SheetRef> sheetRefs;
    uint32_t templateRefs = 0;
    std::vector<StoredString> strings;

    std::vector<SheetPart> parts;  // in stream order
    size_t firstSheet = 0;         // the part rebuilt for each page (its bytes unused)

    // The first worksheet: records before the INDEX place, between INDEX and
    // DIMENSIONS, between DIMENSIONS and the cell table, and after the cell table.
    std::vector<uint8_t> beforeIndex, afterIndex, afterDimensions, suffix;
    std::vector<RowField>
        suffixRowFields;           // in `suffix`: merges, links, notes, conditional formats
    uint16_t suffixLastStart = 0;  // the lowest row (0-based) where one of them starts
    int defColWidthSection = -1;   // 0: afterIndex, 1: afterDimensions
    size_t defColWidthOffset = 0;
    std::vector<uint8_t> rowOneRecord;  // data of row 1's ROW record, if any
    std::vector<RowOneCell> rowOne;     // by column
    std::vector<TemplateRow> rows;      // rows 2 and below, by row
    std::array<uint16_t, 256> columnXf{};
    uint16_t defaultXf = 15;
    uint16_t rowHeight = 0x00FF;
};

// Writes one page as ExportTemplate::write does with flat rows, refusing
// (err::kTooManyRows, before anything is written) a page whose Workbook
// stream would pass `streamLimit` bytes.
Status writePage(const ExportTemplate::Impl& t, const std::filesystem::path& out,
                 const std::vector<std::string>& headings, std::span<const std::string> cells,
                 size_t columns, uint64_t streamLimit);

// Takes apart the streams of a template file. Errors: err::kNotWorkbook,
// err::kUnsupportedWorkbook, err::kEncryptedWorkbook, err::kDamagedWorkbook.
Result<std::shared_ptr<ExportTemplate::Impl>> parseTemplate(std::vector<Stream> streams,
                                                            const std::filesystem::path& file);

}  // namespace tabrovin::xls
