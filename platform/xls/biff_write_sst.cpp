#include "platform/xls/biff_write_sst.h"

#include <algorithm>
#include <cstring>

#include "platform/encoding.h"
#include "platform/xls/biff_record.h"
#include "platform/xls/biff_strings.h"

namespace tabrovin::xls {
namespace {

// The stored form of one string read by the workbook reader's own string
// reading, so both sides agree on every way a string can be split. The width
// is chosen afresh: the characters may have changed width at a split.
bool readString(SegmentCursor& cur, std::u16string& units, StoredString& s) {
    StringTail tail;
    if (!readUnicodeUnits(cur, 2, units, tail)) return false;
    s.cch = static_cast<uint16_t>(units.size());
    s.runCount = tail.runs;
    s.extBytes = tail.extBytes;
    s.wide = std::any_of(units.begin(), units.end(), [](char16_t u) { return u > 0xFF; });
    s.chars.resize(units.size() * (s.wide ? 2 : 1));
    for (size_t i = 0; i < units.size(); ++i) {
        if (s.wide)
            store16(s.chars.data() + 2 * i, units[i]);
        else
            s.chars[i] = static_cast<uint8_t>(units[i]);
    }
    s.tail.resize(tail.bytes());
    return cur.read(s.tail.data(), s.tail.size());
}

bool isAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char b) { return static_cast<uint8_t>(b) < 0x80; });
}

struct StoredShape {
    size_t units = 0;   // UTF-16 units kept
    bool wide = false;  // some character needs 16 bits
};

// Walks the characters of `text` as the table stores them: a byte that is
// not UTF-8 as U+FFFD, cut before the character that would pass
// kMaxCellChars UTF-16 units. Calls take(c) for every character kept.
template <class Take>
StoredShape walkStoredChars(std::string_view text, Take take) {
    auto* p = reinterpret_cast<const uint8_t*>(text.data());
    auto* end = p + text.size();
    StoredShape shape;
    while (p < end) {
        // Most characters of most texts are ASCII, which needs no decoding.
        char32_t c = *p < 0x80 ? *p++ : encoding::decodeUtf8(p, end);
        if (c == encoding::kBadUtf8) c = 0xFFFD;
        size_t need = c > 0xFFFF ? 2 : 1;
        if (shape.units + need > kMaxCellChars) break;
        shape.units += need;
        shape.wide = shape.wide || c > 0xFF;
        take(c);
    }
    return shape;
}

// The stored size of a text's characters as addUtf8 writes them: cut to
// kMaxCellChars UTF-16 units, 8-bit when every character fits in 8 bits.
size_t storedCharBytes(std::string_view text) {
    if (isAscii(text)) return std::min(text.size(), kMaxCellChars);
    StoredShape shape = walkStoredChars(text, [](char32_t) {});
    return shape.units * (shape.wide ? 2 : 1);
}

// The SST's size for `texts` whose characters take charBytes(text) each.
template <class CharBytes>
uint64_t sstSize(const std::vector<StoredString>& stored,
                 const std::vector<std::string_view>& texts, CharBytes charBytes) {
    uint64_t payload = 8;  // the total and unique counts
    for (const auto& s : stored)
        payload += 3 + (s.runCount ? 2 : 0) + (s.extBytes ? 4 : 0) + s.chars.size() + s.tail.size();
    for (auto text : texts) payload += 3 + charBytes(text);
    // Each record holds its 4-byte header, perhaps an option byte and at
    // most 11 bytes left unused at its end (a string header and first
    // character kept together, half a surrogate pair kept back).
    uint64_t records = payload / (kMaxRecordData - 16) + 1;
    uint64_t count = stored.size() + texts.size();
    uint64_t bucketSize = std::max<uint64_t>(8, (count + 127) / 128);
    uint64_t extSst = 4 + 2 + 8 * (count / bucketSize + 1);
    return payload + 16 * records + extSst;
}

}  // namespace

uint64_t sstSizeBound(const std::vector<StoredString>& stored,
                      const std::vector<std::string_view>& texts) {
    return sstSize(stored, texts, storedCharBytes);
}

uint64_t sstRoughBound(const std::vector<StoredString>& stored,
                       const std::vector<std::string_view>& texts) {
    // A character of n UTF-8 bytes takes at most n UTF-16 units.
    return sstSize(stored, texts,
                   [](std::string_view text) { return 2 * std::min(text.size(), kMaxCellChars); });
}

bool parseSst(std::span<const uint8_t> first,
              const std::vector<std::span<const uint8_t>>& continues, uint32_t& totalRefs,
              std::vector<StoredString>& out) {
    SegmentCursor cur(first, continues);
    uint32_t unique = 0;
    if (!cur.readU32(totalRefs) || !cur.readU32(unique)) return false;
    std::u16string units;
    out.clear();
    // A string takes at least three bytes, which bounds what a count can ask for.
    out.reserve(std::min<size_t>(unique, cur.leftInTotal() / 3));
    for (uint32_t i = 0; i < unique; ++i) {
        StoredString s;
        if (!readString(cur, units, s)) return false;
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
    store16(out_.data() + recordStart_ + 2, static_cast<uint16_t>(len));
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
    const size_t bytes = cch * width;
    if (runCount == 0 && extBytes == 0 && room() >= header + bytes) {
        // A plain string that fits the record, as nearly all do: at once.
        const size_t at = out_.size();
        out_.resize(at + 3 + bytes);
        store16(out_.data() + at, cch);
        out_[at + 2] = static_cast<uint8_t>(wide ? 1 : 0);
        if (bytes) std::memcpy(out_.data() + at + 3, chars, bytes);
        return;
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
    if (isAscii(text)) {
        size_t n = std::min(text.size(), kMaxCellChars);
        addEncoded(static_cast<uint16_t>(n), false, reinterpret_cast<const uint8_t*>(text.data()),
                   0, 0, {});
        return;
    }
    // Never more UTF-16 units than UTF-8 bytes: the buffers are sized once
    // per text and filled by position, not grown a byte at a time.
    if (narrow_.size() < text.size()) narrow_.resize(text.size());
    if (wideBuf_.size() < 2 * text.size()) wideBuf_.resize(2 * text.size());
    uint8_t* narrow = narrow_.data();
    uint8_t* wide = wideBuf_.data();
    auto putWide = [&wide](char32_t u) {
        store16(wide, static_cast<uint16_t>(u));
        wide += 2;
    };
    StoredShape shape = walkStoredChars(text, [&](char32_t c) {
        if (c > 0xFFFF) {
            char32_t v = c - 0x10000;
            putWide(0xD800 + (v >> 10));
            putWide(0xDC00 + (v & 0x3FF));
            return;
        }
        *narrow++ = static_cast<uint8_t>(c);
        putWide(c);
    });
    const uint8_t* chars = shape.wide ? wideBuf_.data() : narrow_.data();
    addEncoded(static_cast<uint16_t>(shape.units), shape.wide, chars, 0, 0, {});
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
