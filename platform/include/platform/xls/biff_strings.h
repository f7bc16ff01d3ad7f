#pragma once
// Reading the strings of BIFF records. A BIFF8 string may run on from one
// record into the CONTINUE records after it; each continuation that resumes
// the characters starts with a fresh option byte saying whether they are
// 8-bit or 16-bit. BIFF5 strings are bytes in the workbook's code page.

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.h"
#include "platform/xls/biff_record.h"

namespace tabrovin::xls {

// A read position over a record's data and its CONTINUE records.
class SegmentCursor {
  public:
    explicit SegmentCursor(const Record& record);
    // Over `first` and then each of `continues` (which must outlive the cursor).
    SegmentCursor(std::span<const uint8_t> first,
                  const std::vector<std::span<const uint8_t>>& continues);

    // Reads/skips bytes, crossing segment ends freely (for fixed fields).
    // Only these step into the next segment; a string's characters stop at
    // a segment's end and resume with nextSegment().
    // False, without moving, when fewer bytes are left in total.
    bool read(uint8_t* out, size_t n);
    bool skip(size_t n);
    bool readU8(uint8_t& v) { return read(&v, 1); }
    bool readU16(uint16_t& v);
    bool readU32(uint32_t& v);

    size_t leftInSegment() const;
    size_t leftInTotal() const;
    // Moves to the start of the next segment; false when there is none.
    bool nextSegment();
    bool atEnd() const { return leftInTotal() == 0; }
    const uint8_t* here() const;
    void advance(size_t n);  // within the current segment; n <= leftInSegment()

  private:
    void settle();  // steps over exhausted segments before reading on
    std::vector<std::span<const uint8_t>> segments_;
    size_t seg_ = 0, pos_ = 0, total_ = 0, consumed_ = 0;
};

// What follows a BIFF8 string's characters: 4-byte rich-text runs, then a
// block of phonetic data. Both may cross a record end anywhere, without the
// option byte that a continuation of characters starts with.
struct StringTail {
    uint16_t runs = 0;
    uint32_t extBytes = 0;
    size_t bytes() const { return 4 * size_t{runs} + extBytes; }
};

// Reads the header and characters of a BIFF8 unicode string (XLUnicodeString
// when lengthBytes is 2, ShortXLUnicodeString when 1) as UTF-16 units into
// `units`, leaving `cur` at its tail. The one reading of split strings that
// the workbook reader and the template reader share. False when the data
// ends inside the string, tail included.
bool readUnicodeUnits(SegmentCursor& cur, int lengthBytes, std::u16string& units, StringTail& tail);

// Reads a whole BIFF8 unicode string (its tail skipped) as UTF-8 without NUL
// characters. `scratch` is reused between calls to avoid allocations.
bool readUnicodeString(SegmentCursor& cur, int lengthBytes, std::u16string& scratch,
                       std::string& out);

// The Windows code-page number for a CODEPAGE record's value (BIFF has its
// own numbers for Mac Roman and Windows Latin-1).
int windowsCodePage(int biffCodePage);

// True when a BIFF5 workbook's text in `biffCodePage` can be read; 0 (no
// CODEPAGE record) and 1200 are read as GBK.
bool canDecode(int biffCodePage);

// Bytes in code page `codePage` (a BIFF5 CODEPAGE value) to UTF-8 without NUL
// characters. 0, 1200 and code pages this system cannot convert are read as
// GBK (callers refuse the last with canDecode first). Bytes invalid in GBK
// fall back to GB18030 and then to Latin-1; bytes invalid in another code
// page become U+FFFD. This never fails.
std::string decodeByteString(std::string_view bytes, int codePage);

// Reads a BIFF5 byte string whose length has `lengthBytes` bytes (1 or 2).
bool readByteString(SegmentCursor& cur, int lengthBytes, int codePage, std::string& out);

// The shared string table: every string stored back to back.
class StringTable {
  public:
    size_t size() const { return starts_.empty() ? 0 : starts_.size() - 1; }
    std::string_view at(size_t i) const {
        return std::string_view(pool_).substr(starts_[i], starts_[i + 1] - starts_[i]);
    }
    void add(std::string_view s);
    void reserve(size_t count) { starts_.reserve(count + 1); }

  private:
    std::string pool_;
    std::vector<size_t> starts_;
};

// Parses an SST record with its CONTINUE records. err::kDamagedWorkbook
// (naming `file`) when a string is cut off; a table that stops at a string
// boundary short of its stated count is accepted (cells referring past it
// are reported then).
Result<StringTable> parseSharedStrings(const Record& sst, const std::filesystem::path& file);

}  // namespace tabrovin::xls
