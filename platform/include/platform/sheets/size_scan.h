#pragma once
// Measuring an .xlsx worksheet part at close to the speed it inflates. The
// full parse resolves namespaces, gathers attributes and copies chunks for
// every cell only for the measure to keep two numbers; SheetSizeScan reads
// just the worksheet XML that spreadsheet writers produce, in one pass. It
// never judges a part: anything outside that subset, or that the full parse
// might read differently or refuse, leaves it without an answer, and the
// caller then measures by the full parse (which also reports the damage).

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
#include "platform/sheets/zip_archive.h"
#include "platform/workbook.h"

namespace tabrovin::sheets {

class SheetSizeScan {
  public:
    // `stringEnds`: where each shared string ends in the book's pool, so that
    // string i is empty when it ends where string i - 1 does. Must outlive the scan.
    explicit SheetSizeScan(std::span<const size_t> stringEnds);

    // Feeds the next chunk of the part; false once the answer is settled
    // either way, so the rest need not be inflated.
    bool feed(std::string_view chunk);
    // The size the full parse would give, once the sheet data ended within
    // the subset; std::nullopt when the scan cannot tell.
    std::optional<SheetSize> size() const;

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
    enum class Type : uint8_t { Number, Shared, Text, Inline, Boolean, Error, Date };
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
    void cell(std::string_view ref, std::string_view t, bool empty);
    void finishCell();
    void close(std::string_view qname);
    void closeTop(std::string_view qname);

    std::span<const size_t> stringEnds_;
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

}  // namespace tabrovin::sheets
