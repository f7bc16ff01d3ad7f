#pragma once
// BIFF record framing: a record is a 16-bit type, a 16-bit length and at most
// 8224 bytes of data; longer data continues in CONTINUE records that follow.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tabrovin::xls {

namespace rec {
constexpr uint16_t kBof = 0x0809, kBof4 = 0x0409, kBof3 = 0x0209, kBof2 = 0x0009;
constexpr uint16_t kEof = 0x000A, kContinue = 0x003C, kFilePass = 0x002F;
constexpr uint16_t kCodePage = 0x0042, kDate1904 = 0x0022, kBoundSheet = 0x0085;
constexpr uint16_t kSst = 0x00FC, kExtSst = 0x00FF, kFormat = 0x041E, kXf = 0x00E0;
constexpr uint16_t kDimensions = 0x0200, kRow = 0x0208, kIndex = 0x020B, kDbCell = 0x00D7;
constexpr uint16_t kLabelSst = 0x00FD, kLabel = 0x0204, kRString = 0x00D6, kNumber = 0x0203;
constexpr uint16_t kRk = 0x027E, kMulRk = 0x00BD, kBoolErr = 0x0205, kFormula = 0x0006;
constexpr uint16_t kString = 0x0207, kBlank = 0x0201, kMulBlank = 0x00BE;
// FORMULA under its BIFF3 and BIFF4 numbers, which some writers still use.
constexpr uint16_t kFormula3 = 0x0206, kFormula4 = 0x0406;
// FORMAT and XF as Excel 3.0 and 4.0 numbered them.
constexpr uint16_t kFormat3 = 0x001E, kXf3 = 0x0243, kXf4 = 0x0443;
}  // namespace rec

// The BIFF generation a BOF record opens.
enum class Biff { Old, V5, V8, NotBof };

// Judges a BOF record as Excel does: the record number says BIFF2-4 or
// BIFF5 and later; then the version field's range (0x0500-0x05FF BIFF5,
// 0x0600 and up BIFF8, 0x0200-0x04FF an old Excel), and where a writer left
// it below that, the record's length (16 bytes in BIFF8, 8 in BIFF5).
Biff biffOf(uint16_t type, std::span<const uint8_t> data);

constexpr size_t kMaxRecordData = 8224;

struct Record {
    uint16_t type = 0;
    size_t offset = 0;              // of the header within the stream
    std::span<const uint8_t> data;  // this record's own data
    // The data of the CONTINUE records that directly follow, one span each;
    // empty unless the reader was asked to gather them.
    std::vector<std::span<const uint8_t>> continues;
};

// Walks the records of a stream in order. Does not own the bytes.
class RecordReader {
  public:
    explicit RecordReader(std::span<const uint8_t> stream) : stream_(stream) {}

    // Reads the next record into `out`; when `gatherContinues`, the CONTINUE
    // records after it are collected into out.continues and skipped.
    // Returns false at the end of the stream, or when a record runs past the
    // end: then problem() says where (check it after false).
    bool next(Record& out, bool gatherContinues = true);
    const std::optional<std::string>& problem() const { return problem_; }
    size_t position() const { return pos_; }
    void seek(size_t offset) { pos_ = offset; }

  private:
    bool readHeader(size_t at, uint16_t& type, uint16_t& len);
    std::span<const uint8_t> stream_;
    size_t pos_ = 0;
    std::optional<std::string> problem_;
};

// Appends records to a byte stream.
class RecordWriter {
  public:
    // Writes one record; data longer than kMaxRecordData is split at that
    // size into CONTINUE records. Callers that need a split at a particular
    // place (strings in SST) write the CONTINUE records themselves.
    void write(uint16_t type, std::span<const uint8_t> data);
    size_t size() const { return bytes_.size(); }
    std::vector<uint8_t>& bytes() { return bytes_; }

  private:
    std::vector<uint8_t> bytes_;
};

// Little-endian helpers for record data, the only ones the record layer uses.
inline uint16_t u16(std::span<const uint8_t> d, size_t at) {
    return static_cast<uint16_t>(d[at] | (d[at + 1] << 8));
}
inline uint32_t u32(std::span<const uint8_t> d, size_t at) {
    return static_cast<uint32_t>(d[at]) | (static_cast<uint32_t>(d[at + 1]) << 8) |
           (static_cast<uint32_t>(d[at + 2]) << 16) | (static_cast<uint32_t>(d[at + 3]) << 24);
}
inline void put16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
inline void put32(std::vector<uint8_t>& out, uint32_t v) {
    put16(out, static_cast<uint16_t>(v));
    put16(out, static_cast<uint16_t>(v >> 16));
}
// The same in place, over bytes already there.
inline void store16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void store32(uint8_t* p, uint32_t v) {
    store16(p, static_cast<uint16_t>(v));
    store16(p + 2, static_cast<uint16_t>(v >> 16));
}

}  // namespace tabrovin::xls
