#include "platform/xls/biff_write_sst.h"

#include <algorithm>
#include <cstring>

#include "platform/encoding.h"
#include "platform/xls/biff_record.h"

namespace tabrovin::xls {
namespace {

// Reads across the SST record and its CONTINUE records as one sequence,
// except where character data continues (handled by the caller).
class SegmentReader {
  public:
    SegmentReader(std::span<const uint8_t> first,
                  const std::vector<std::span<const uint8_t>>& continues)
        : first_(first), continues_(continues) {}

    std::span<const uint8_t> segment() const { return seg_ == 0 ? first_ : continues_[seg_ - 1]; }
    size_t left() const { return segment().size() - pos_; }
    bool nextSegment() {
        if (seg_ >= continues_.size()) return false;
        ++seg_;
        pos_ = 0;
        return true;
    }
    // Reads n bytes, moving into following segments as needed.
    bool read(uint8_t* dst, size_t n) {
        while (n > 0) {
            if (left() == 0 && !nextSegment()) return false;
            size_t k = std::min(n, left());
            if (dst) {
                std::memcpy(dst, segment().data() + pos_, k);
                dst += k;
            }
            pos_ += k;
            n -= k;
        }
        return true;
    }
    bool readU8(uint8_t& v) { return read(&v, 1); }
    bool readU16(uint16_t& v) {
        uint8_t b[2];
        if (!read(b, 2)) return false;
        v = static_cast<uint16_t>(b[0] | (b[1] << 8));
        return true;
    }
    bool readU32(uint32_t& v) {
        uint8_t b[4];
        if (!read(b, 4)) return false;
        v = u32(b, 0);
        return true;
    }

  private:
    std::span<const uint8_t> first_;
    const std::vector<std::span<const uint8_t>>& continues_;
    size_t seg_ = 0;
    size_t pos_ = 0;
};

// The characters of one string; a continuation restarts with a flags byte
// that may change the stored width.
bool readChars(SegmentReader& r, uint16_t cch, bool wide, std::vector<uint16_t>& units) {
    units.clear();
    while (units.size() < cch) {
        if (r.left() == 0) {
            uint8_t flags = 0;
            if (!r.nextSegment() || !r.readU8(flags)) return false;
            wide = flags & 1;
        }
        size_t width = wide ? 2 : 1;
        size_t n = std::min<size_t>(cch - units.size(), r.left() / width);
        if (n == 0) return false;  // half a character before the record ends
        for (size_t i = 0; i < n; ++i) {
            uint8_t b[2] = {0, 0};
            r.read(b, width);
            units.push_back(static_cast<uint16_t>(b[0] | (b[1] << 8)));
        }
    }
    return true;
}

bool readString(SegmentReader& r, std::vector<uint16_t>& units, StoredString& s) {
    uint8_t flags = 0;
    if (!r.readU16(s.cch) || !r.readU8(flags)) return false;
    if (flags & 0x08 && !r.readU16(s.runCount)) return false;
    if (flags & 0x04 && !r.readU32(s.extBytes)) return false;
    if (s.extBytes > (1u << 24)) return false;
    if (!readChars(r, s.cch, flags & 1, units)) return false;
    s.wide = std::any_of(units.begin(), units.end(), [](uint16_t u) { return u > 0xFF; });
    s.chars.resize(units.size() * (s.wide ? 2 : 1));
    for (size_t i = 0; i < units.size(); ++i) {
        if (s.wide) {
            s.chars[2 * i] = static_cast<uint8_t>(units[i]);
            s.chars[2 * i + 1] = static_cast<uint8_t>(units[i] >> 8);
        } else {
            s.chars[i] = static_cast<uint8_t>(units[i]);
        }
    }
    s.tail.resize(4 * size_t{s.runCount} + s.extBytes);
    return r.read(s.tail.data(), s.tail.size());
}

}  // namespace

bool parseSst(std::span<const uint8_t> first,
              const std::vector<std::span<const uint8_t>>& continues, uint32_t& totalRefs,
              std::vector<StoredString>& out) {
    if (first.size() < 8) return false;
    totalRefs = u32(first, 0);
    uint32_t unique = u32(first, 4);
    SegmentReader r(first.subspan(8), continues);
    std::vector<uint16_t> units;
    out.clear();
    out.reserve(std::min<uint32_t>(unique, 1u << 20));
    for (uint32_t i = 0; i < unique; ++i) {
        StoredString s;
        if (!readString(r, units, s)) return false;
        out.push_back(std::move(s));
    }
    return true;
}

SstWriter::SstWriter(std::vector<uint8_t>& stream, uint32_t totalRefs, size_t uniqueCount)
    : out_(stream) {
    // Excel keeps EXTSST at no more than 128 buckets of at least 8 strings.
    bucketSize_ = std::max<size_t>(8, (uniqueCount + 127) / 128);
    beginRecord(rec::kSst);
    put32(out_, totalRefs);
    put32(out_, static_cast<uint32_t>(uniqueCount));
}

void SstWriter::beginRecord(uint16_t type) {
    recordStart_ = out_.size();
    put16(out_, type);
    put16(out_, 0);
}

void SstWriter::endRecord() {
    size_t len = out_.size() - recordStart_ - 4;
    out_[recordStart_ + 2] = static_cast<uint8_t>(len);
    out_[recordStart_ + 3] = static_cast<uint8_t>(len >> 8);
}

void SstWriter::add(const StoredString& s) {
    addEncoded(s.cch, s.wide, s.chars.data(), s.runCount, s.extBytes, s.tail);
}

void SstWriter::addEncoded(uint16_t cch, bool wide, const uint8_t* chars, uint16_t runCount,
                           uint32_t extBytes, std::span<const uint8_t> tail) {
    size_t width = wide ? 2 : 1;
    size_t header = 3 + (runCount ? 2 : 0) + (extBytes ? 4 : 0);
    // The header and the first character stay together in one record.
    if (room() < header + (cch ? width : 0)) {
        endRecord();
        beginRecord(rec::kContinue);
    }
    if (count_++ % bucketSize_ == 0) {
        bucketPos_.push_back(static_cast<uint32_t>(out_.size()));
        bucketInRec_.push_back(static_cast<uint16_t>(out_.size() - recordStart_));
    }
    put16(out_, cch);
    out_.push_back(
        static_cast<uint8_t>((wide ? 1 : 0) | (runCount ? 0x08 : 0) | (extBytes ? 0x04 : 0)));
    if (runCount) put16(out_, runCount);
    if (extBytes) put32(out_, extBytes);
    size_t left = cch;
    while (left > 0) {
        size_t n = std::min(left, room() / width);
        // A surrogate pair stays in one record: readers decode each part alone.
        if (wide && n > 0 && n < left && (chars[2 * n - 1] & 0xFC) == 0xD8) --n;
        if (n == 0) {
            endRecord();
            beginRecord(rec::kContinue);
            out_.push_back(wide ? 1 : 0);
            continue;
        }
        out_.insert(out_.end(), chars, chars + n * width);
        chars += n * width;
        left -= n;
    }
    for (size_t at = 0; at < tail.size();) {
        if (room() == 0) {
            endRecord();
            beginRecord(rec::kContinue);
        }
        size_t n = std::min(tail.size() - at, room());
        out_.insert(out_.end(), tail.begin() + at, tail.begin() + at + n);
        at += n;
    }
}

void SstWriter::addUtf8(std::string_view text) {
    auto* p = reinterpret_cast<const uint8_t*>(text.data());
    auto* end = p + text.size();
    bool ascii = true;
    for (auto* q = p; q < end && ascii; ++q) ascii = *q < 0x80;
    if (ascii) {
        size_t n = std::min(text.size(), kMaxCellChars);
        addEncoded(static_cast<uint16_t>(n), false, p, 0, 0, {});
        return;
    }
    narrow_.clear();
    wideBuf_.clear();
    bool wide = false;
    size_t units = 0;
    while (p < end) {
        char32_t c = encoding::decodeUtf8(p, end);
        if (c == encoding::kBadUtf8) c = 0xFFFD;
        size_t need = c > 0xFFFF ? 2 : 1;
        if (units + need > kMaxCellChars) break;
        units += need;
        if (c > 0xFF) wide = true;
        if (c > 0xFFFF) {
            char32_t v = c - 0x10000;
            char16_t hi = static_cast<char16_t>(0xD800 + (v >> 10));
            char16_t lo = static_cast<char16_t>(0xDC00 + (v & 0x3FF));
            for (char16_t u : {hi, lo}) {
                wideBuf_.push_back(static_cast<uint8_t>(u));
                wideBuf_.push_back(static_cast<uint8_t>(u >> 8));
            }
            continue;
        }
        narrow_.push_back(static_cast<uint8_t>(c));
        wideBuf_.push_back(static_cast<uint8_t>(c));
        wideBuf_.push_back(static_cast<uint8_t>(c >> 8));
    }
    const uint8_t* chars = wide ? wideBuf_.data() : narrow_.data();
    addEncoded(static_cast<uint16_t>(units), wide, chars, 0, 0, {});
}

void SstWriter::finish() {
    endRecord();
    std::vector<uint8_t> ext;
    ext.reserve(2 + 8 * bucketPos_.size());
    put16(ext, static_cast<uint16_t>(bucketSize_));
    for (size_t i = 0; i < bucketPos_.size(); ++i) {
        put32(ext, bucketPos_[i]);
        put16(ext, bucketInRec_[i]);
        put16(ext, 0);
    }
    put16(out_, rec::kExtSst);
    put16(out_, static_cast<uint16_t>(ext.size()));
    out_.insert(out_.end(), ext.begin(), ext.end());
}

}  // namespace tabrovin::xls
