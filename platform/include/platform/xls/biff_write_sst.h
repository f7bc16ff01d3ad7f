#pragma once
// Writing the shared string table (SST) of a BIFF8 workbook and its EXTSST
// index, with CONTINUE records split the way Excel expects: a string header
// never splits, character data splits only between characters and each
// continuation of character data starts with a fresh option-flags byte.

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace tabrovin::xls {

// Excel's limit for the text of one cell, in UTF-16 code units.
constexpr size_t kMaxCellChars = 32767;

// One SST entry in its stored form, as read from a template: the characters
// in their stored width, and the formatting runs plus phonetic data (if any)
// kept as opaque bytes.
struct StoredString {
    uint16_t cch = 0;
    bool wide = false;
    uint16_t runCount = 0;       // rich-text runs (4 bytes each, inside `tail`)
    uint32_t extBytes = 0;       // phonetic block size (inside `tail`, after the runs)
    std::vector<uint8_t> chars;  // cch or 2*cch bytes
    std::vector<uint8_t> tail;   // 4*runCount + extBytes bytes
};

// Parses the data of an SST record and its CONTINUE records into entries.
// Returns false on data that runs short or is inconsistent.
bool parseSst(std::span<const uint8_t> first,
              const std::vector<std::span<const uint8_t>>& continues, uint32_t& totalRefs,
              std::vector<StoredString>& out);

// At least the bytes that SstWriter takes for `stored` followed by `texts`
// (each added with addUtf8), SST and EXTSST records included, and at most a
// fraction of a percent more: what a page's size is judged by before it is built.
uint64_t sstSizeBound(const std::vector<StoredString>& stored,
                      const std::vector<std::string_view>& texts);
// At least sstSizeBound and at most four times it (for 2-byte characters
// stored in 8 bits), without reading the texts' characters: enough to pass
// any page far below the limit.
uint64_t sstRoughBound(const std::vector<StoredString>& stored,
                       const std::vector<std::string_view>& texts);

// Appends an SST record (with CONTINUEs) and an EXTSST record to `stream`,
// whose byte 0 is the start of the Workbook stream (EXTSST holds absolute
// positions). Usage: construct, add every string in index order, finish().
class SstWriter {
  public:
    SstWriter(std::vector<uint8_t>& stream, uint32_t totalRefs, size_t uniqueCount);
    void add(const StoredString& s);
    // UTF-8 text; invalid bytes become U+FFFD and text beyond kMaxCellChars
    // UTF-16 units is cut off (never inside a surrogate pair).
    void addUtf8(std::string_view text);
    void finish();

  private:
    void addEncoded(uint16_t cch, bool wide, const uint8_t* chars, uint16_t runCount,
                    uint32_t extBytes, std::span<const uint8_t> tail);
    void beginRecord(uint16_t type);
    void endRecord();
    size_t room() const { return recordStart_ + 4 + 8224 - out_.size(); }

    std::vector<uint8_t>& out_;
    size_t recordStart_ = 0;
    size_t bucketSize_ = 8;
    size_t count_ = 0;
    std::vector<uint32_t> bucketPos_;    // absolute stream position of each bucket's first string
    std::vector<uint16_t> bucketInRec_;  // its offset within its record, header included
    std::vector<uint8_t> narrow_;        // scratch for non-ASCII Latin-1 text
    std::vector<uint8_t> wideBuf_;       // scratch for UTF-16LE text
};

}  // namespace tabrovin::xls
