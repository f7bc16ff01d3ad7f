#include "platform/xls/biff_strings.h"

#include <algorithm>

#include "platform/cell_text.h"
#include "platform/encoding.h"

namespace tabrovin::xls {

SegmentCursor::SegmentCursor(const Record& record) {
    segments_.reserve(record.continues.size() + 1);
    segments_.push_back(record.data);
    total_ = record.data.size();
    for (auto c : record.continues) {
        segments_.push_back(c);
        total_ += c.size();
    }
}

SegmentCursor::SegmentCursor(std::span<const uint8_t> first,
                             const std::vector<std::span<const uint8_t>>& continues) {
    segments_.reserve(continues.size() + 1);
    segments_.push_back(first);
    total_ = first.size();
    for (auto c : continues) {
        segments_.push_back(c);
        total_ += c.size();
    }
}

void SegmentCursor::settle() {
    while (seg_ + 1 < segments_.size() && pos_ >= segments_[seg_].size()) {
        ++seg_;
        pos_ = 0;
    }
}

size_t SegmentCursor::leftInSegment() const {
    return segments_[seg_].size() - pos_;
}
size_t SegmentCursor::leftInTotal() const {
    return total_ - consumed_;
}
const uint8_t* SegmentCursor::here() const {
    return segments_[seg_].data() + pos_;
}

void SegmentCursor::advance(size_t n) {
    pos_ += n;
    consumed_ += n;
}

bool SegmentCursor::nextSegment() {
    if (seg_ + 1 >= segments_.size()) return false;
    consumed_ += leftInSegment();
    ++seg_;
    pos_ = 0;
    return true;
}

bool SegmentCursor::read(uint8_t* out, size_t n) {
    if (n > leftInTotal()) return false;
    while (n > 0) {
        settle();
        size_t k = std::min(n, leftInSegment());
        std::copy_n(here(), k, out);
        out += k;
        n -= k;
        advance(k);
    }
    return true;
}

bool SegmentCursor::skip(size_t n) {
    if (n > leftInTotal()) return false;
    while (n > 0) {
        settle();
        size_t k = std::min(n, leftInSegment());
        n -= k;
        advance(k);
    }
    return true;
}

bool SegmentCursor::readU16(uint16_t& v) {
    uint8_t b[2];
    if (!read(b, 2)) return false;
    v = u16(b, 0);
    return true;
}

bool SegmentCursor::readU32(uint32_t& v) {
    uint8_t b[4];
    if (!read(b, 4)) return false;
    v = u32(b, 0);
    return true;
}

namespace {

// Appends `count` characters, resuming in the next segment with its own
// option byte whenever the current one runs out.
bool readCharacters(SegmentCursor& cur, size_t count, bool wide, std::u16string& units) {
    while (count > 0) {
        size_t avail = std::min(count, cur.leftInSegment() / (wide ? 2 : 1));
        const uint8_t* p = cur.here();
        for (size_t i = 0; i < avail; ++i)
            units.push_back(wide ? static_cast<char16_t>(p[2 * i] | (p[2 * i + 1] << 8))
                                 : static_cast<char16_t>(p[i]));
        cur.advance(avail * (wide ? 2 : 1));
        count -= avail;
        if (count == 0) break;
        // A lone byte of a split 16-bit character cannot be used; step past it.
        uint8_t flags = 0;
        if (!cur.nextSegment() || !cur.readU8(flags)) return false;
        wide = (flags & 0x01) != 0;
    }
    return true;
}

}  // namespace

bool readUnicodeUnits(SegmentCursor& cur, int lengthBytes, std::u16string& units,
                      StringTail& tail) {
    uint16_t count = 0;
    uint8_t count8 = 0, flags = 0;
    if (lengthBytes == 1 ? !cur.readU8(count8) : !cur.readU16(count)) return false;
    if (lengthBytes == 1) count = count8;
    if (!cur.readU8(flags)) return false;
    tail = {};
    if ((flags & 0x08) && !cur.readU16(tail.runs)) return false;
    if ((flags & 0x04) && !cur.readU32(tail.extBytes)) return false;
    // Each character takes at least a byte, so this also bounds what a
    // damaged count or tail size can make a caller allocate.
    if (count + tail.bytes() > cur.leftInTotal()) return false;
    units.clear();
    units.reserve(count);
    if (!readCharacters(cur, count, (flags & 0x01) != 0, units)) return false;
    return tail.bytes() <= cur.leftInTotal();
}

bool readUnicodeString(SegmentCursor& cur, int lengthBytes, std::u16string& scratch,
                       std::string& out) {
    StringTail tail;
    if (!readUnicodeUnits(cur, lengthBytes, scratch, tail) || !cur.skip(tail.bytes())) return false;
    out = encoding::utf16ToUtf8(scratch);
    if (out.find('\0') != std::string::npos) out = cell_text::stripNul(std::move(out));
    return true;
}

int windowsCodePage(int biffCodePage) {
    if (biffCodePage == 0x8000) return 10000;
    if (biffCodePage == 0x8001) return encoding::kLatin1;
    return biffCodePage;
}

bool canDecode(int biffCodePage) {
    return biffCodePage == 0 || biffCodePage == encoding::kUtf16Le ||
           encoding::knowsCodePage(windowsCodePage(biffCodePage));
}

std::string decodeByteString(std::string_view bytes, int codePage) {
    bool ascii = std::all_of(bytes.begin(), bytes.end(),
                             [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    std::optional<std::string> text;
    if (ascii) {
        text = std::string(bytes);
    } else {
        codePage = windowsCodePage(codePage);
        bool declared = codePage != encoding::kUtf16Le && codePage != 0;
        if (declared) text = encoding::toUtf8(bytes, codePage);
        // A stray byte in a declared code page other than GBK's family costs
        // that byte, not the whole text read as GBK.
        if (!text && declared && codePage != encoding::kGbk && codePage != encoding::kGb18030)
            text = encoding::toUtf8Leniently(bytes, codePage);
        if (!text) text = encoding::toUtf8(bytes, encoding::kGbk);
        if (!text) text = encoding::toUtf8(bytes, encoding::kGb18030);
        if (!text) {
            std::u16string latin(bytes.begin(), bytes.end());
            for (size_t i = 0; i < bytes.size(); ++i)
                latin[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[i]));
            text = encoding::utf16ToUtf8(latin);
        }
    }
    if (text->find('\0') != std::string::npos) return cell_text::stripNul(std::move(*text));
    return std::move(*text);
}

bool readByteString(SegmentCursor& cur, int lengthBytes, int codePage, std::string& out) {
    uint16_t count = 0;
    uint8_t count8 = 0;
    if (lengthBytes == 1 ? !cur.readU8(count8) : !cur.readU16(count)) return false;
    if (lengthBytes == 1) count = count8;
    std::string bytes(count > cur.leftInTotal() ? 0 : count, '\0');
    if (!cur.read(reinterpret_cast<uint8_t*>(bytes.data()), count)) return false;
    out = decodeByteString(bytes, codePage);
    return true;
}

void StringTable::add(std::string_view s) {
    if (starts_.empty()) starts_.push_back(0);
    pool_.append(s);
    starts_.push_back(pool_.size());
}

Result<StringTable> parseSharedStrings(const Record& sst, const std::filesystem::path& file) {
    SegmentCursor cur(sst);
    uint32_t total = 0, unique = 0;
    if (!cur.readU32(total) || !cur.readU32(unique))
        return Error::damagedWorkbook(file, "共享字符串表（SST）的记录过短");
    StringTable out;
    // A string takes at least three bytes, which bounds what a count can ask for.
    out.reserve(std::min<size_t>(unique, cur.leftInTotal() / 3));
    std::u16string scratch;
    std::string text;
    for (uint32_t i = 0; i < unique && !cur.atEnd(); ++i) {
        if (!readUnicodeString(cur, 2, scratch, text))
            return Error::damagedWorkbook(
                file, "共享字符串表中第 " + std::to_string(i + 1) + " 个字符串不完整");
        out.add(text);
    }
    return out;
}

}  // namespace tabrovin::xls
