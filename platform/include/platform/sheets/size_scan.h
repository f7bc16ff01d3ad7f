#pragma once
// Measuring and reading an .xlsx worksheet part at close to the speed it
// inflates. The full parse resolves namespaces, gathers attributes and
// hands over every tag and text for each cell; SheetSizeScan reads just the
// worksheet XML that spreadsheet writers produce, in one pass. It never
// judges a part: anything outside that subset, or that the full parse might
// read differently or refuse, leaves it without an answer, and the caller
// then reads by the full parse (which also reports the damage).

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/error.h"
#include "platform/sheets/limits.h"
#include "platform/sheets/zip_archive.h"
#include "platform/workbook.h"

namespace tabrovin::sheets {

// A cell's type, from its attribute t.
enum class CellType : uint8_t { Number, Shared, Text, Inline, Boolean, Error, Date };

// Where a scan that reads the cells hands them, in document order.
class ScannedCells {
  public:
    virtual ~ScannedCells() = default;
    // Row `row` (1 to kMaxRows) starts; false stops the scan.
    virtual bool row(int32_t row) = 0;
    // A cell of that row with a value: `style` its attribute s as written,
    // `value` the text of its <v> or inline string as the full parse hands it
    // over (references resolved, line ends as LF). False stops the scan.
    virtual bool cell(int32_t column, CellType type, std::string_view style,
                      std::string_view value) = 0;
};

class SheetSizeScan {
  public:
    // `stringEnds`: where each shared string ends in the book's pool, so that
    // string i is empty when it ends where string i - 1 does. With `cells`,
    // the scan hands them the cells instead of measuring. Both must outlive it.
    explicit SheetSizeScan(std::span<const size_t> stringEnds, ScannedCells* cells = nullptr);

    // Feeds the next chunk of the part; false once the answer is settled
    // either way, so the rest need not be inflated.
    bool feed(std::string_view chunk);
    // The size the full parse would give, once the sheet data ended within
    // the subset; std::nullopt when the scan cannot tell.
    std::optional<SheetSize> size() const;
    // With cells: whether every cell up to the end of the sheet data, or up
    // to where the cells stopped the scan, was handed over.
    bool read() const { return at_ == At::Done; }

  private:
    // Where the scan is: before the root, among the root's elements before
    // the sheet data, inside a row, a cell, a <v>, <f>, <is> or its <t>; or
    // settled (Done: the sheet data ended; Unknown: the scan cannot tell).
    enum class At : uint8_t {
        Start,
        Prolog,
        Top,
        Data,
        Row,
        Cell,
        Value,
        Formula,
        Inline,
        InlineText,
        Done,
        Unknown
    };
    using Type = CellType;
    struct Attr {
        std::string_view prefix, local, value;
    };
    struct Tag {
        std::string_view qname, prefix, local;
        bool empty = false;
        const char* end = nullptr;  // past its '>'
    };
    enum class Parse : uint8_t { Ok, More, Bad };

    bool settled() const { return at_ == At::Done || at_ == At::Unknown; }
    // Whether the value shows as text, which counts once a character shows:
    // strings, errors, and dates (a date that does not parse is its text).
    bool shownAsText() const {
        return type_ == Type::Text || type_ == Type::Error || type_ == Type::Inline ||
               type_ == Type::Date;
    }
    void unknown() { at_ = At::Unknown; }
    size_t carried(std::string_view chunk);
    size_t scan(const char* b, const char* e);
    const char* start(const char* p, const char* e);
    const char* text(const char* p, const char* e, bool more);
    const char* value(const char* p, const char* e, bool more);
    const char* plainValue(const char* p, const char* e);
    const char* shownText(const char* p, const char* e, bool more);
    void step(char c);
    void show();
    const char* markup(const char* lt, const char* e);
    const char* skipped(const char* from, const char* e, std::string_view close);
    Parse startTag(const char* lt, const char* e, Tag& tag);
    const char* quickCell(const char* lt, const char* e);
    const char* quickValue(const char* lt, const char* e);
    Parse attribute(const char*& p, const char* e);
    const char* endTag(const char* lt, const char* e);
    void element(const Tag& tag);
    void topElement(const Tag& tag);
    void rootElement(const Tag& tag);
    bool declare(size_t depth);
    void dropPrefixes(size_t depth);
    bool bound(std::string_view prefix) const;
    bool plainAttributes() const;
    std::string_view first(char local) const;
    void row();
    void cell(std::string_view ref, std::string_view t, std::string_view s, bool empty);
    void finishCell();
    void handOver();
    void close(std::string_view qname);
    void closeTop(std::string_view qname);

    std::span<const size_t> stringEnds_;
    ScannedCells* cells_;
    At at_ = At::Start;
    // A construct the chunk's end cut, then bytes of the chunks after it.
    std::string carry_;
    std::vector<Attr> attrs_;  // of the tag just read
    // Before the sheet data: the open elements' names back to back, and the
    // namespace prefixes declared, with the depth they were declared at.
    std::string names_;
    std::vector<size_t> nameEnds_;
    std::vector<std::pair<size_t, std::string>> prefixes_;
    int32_t row_ = 0, column_ = 0;
    Type type_ = Type::Number;
    bool hasValue_ = false, shown_ = false;
    size_t valueBytes_ = 0;
    size_t escape_ = 0;  // bytes of "_x0000_" matched
    int64_t index_ = 0;
    // With cells: the cell's attribute s, and its value as written.
    std::string style_, value_, decoded_;
    SheetSize size_;
};

// The size of worksheet part `part` of `zip` by the scan, the part inflated
// on a second thread meanwhile; std::nullopt when the scan cannot tell or
// the part does not inflate (which the full parse then reports).
std::optional<SheetSize> scanZipPart(const ZipArchive& zip, std::string_view part,
                                     std::span<const size_t> stringEnds);

// How measureXlsxSheet measures: by the scan alone, or by the full parse.
enum class MeasureBy { Scan, FullParse };

// Worksheet `number` (from 1) of the .xlsx package at `path` measured one
// way only (std::nullopt: the scan cannot tell), bypassing remembered sizes;
// for checking the two ways against each other and timing them.
Result<std::optional<SheetSize>> measureXlsxSheet(const std::filesystem::path& path, int number,
                                                  MeasureBy how);

// The worksheet part `xml` measured by the full parse of a book whose shared
// strings are `strings`; the same checks as measureXlsxSheet without a package.
Result<SheetSize> parsedSheetSize(std::string_view xml, const std::vector<std::string>& strings);

// How a worksheet's rows are read: by the scan, the full parse going on
// after the rows it sent wherever it cannot; or by the full parse alone.
enum class ReadBy { Scan, FullParse };

// What reading a worksheet gave: the rows sent, the outcome, and whether
// the scan read it all.
struct SheetRead {
    std::vector<std::pair<int32_t, std::vector<std::string>>> rows;
    Status status;
    bool scanned = false;
};

// Which rows a read asks for, the row at which its sink fails (0: none),
// and the pieces the part comes in.
struct SheetReadTrial {
    int32_t first, last, columns, failAt;
    size_t chunk;
};

// The worksheet part `xml` of a book whose shared strings are `strings`,
// read one way; for checking the two ways against each other.
SheetRead readSheetXml(std::string_view xml, const std::vector<std::string>& strings, ReadBy how,
                       const SheetReadTrial& trial);
// Every row of worksheet `number` of the .xlsx at `path`, as wide as the
// sheet, read one way.
Result<SheetRead> readXlsxSheet(const std::filesystem::path& path, int number, ReadBy how);

}  // namespace tabrovin::sheets
