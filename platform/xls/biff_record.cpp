#include "platform/xls/biff_record.h"

namespace tabrovin::xls {

bool RecordReader::readHeader(size_t at, uint16_t& type, uint16_t& len) {
    if (at + 4 > stream_.size()) return false;
    type = u16(stream_, at);
    len = u16(stream_, at + 2);
    return true;
}

bool RecordReader::next(Record& out, bool gatherContinues) {
    problem_.reset();
    uint16_t type = 0, len = 0;
    if (!readHeader(pos_, type, len)) return false;
    if (pos_ + 4 + len > stream_.size()) {
        problem_ = "位置 " + std::to_string(pos_) + " 处的记录超出了数据末尾";
        return false;
    }
    out.type = type;
    out.offset = pos_;
    out.data = stream_.subspan(pos_ + 4, len);
    out.continues.clear();
    pos_ += 4 + len;
    if (!gatherContinues) return true;
    uint16_t ctype = 0, clen = 0;
    while (readHeader(pos_, ctype, clen) && ctype == rec::kContinue) {
        if (pos_ + 4 + clen > stream_.size()) {
            problem_ = "位置 " + std::to_string(pos_) + " 处的 CONTINUE 记录超出了数据末尾";
            return false;
        }
        out.continues.push_back(stream_.subspan(pos_ + 4, clen));
        pos_ += 4 + clen;
    }
    return true;
}

Biff biffOf(uint16_t type, std::span<const uint8_t> data) {
    if (type == rec::kBof2 || type == rec::kBof3 || type == rec::kBof4) return Biff::Old;
    if (type != rec::kBof || data.size() < 4) return Biff::NotBof;
    uint16_t version = u16(data, 0);
    if (version >= 0x0600) return Biff::V8;
    if (version >= 0x0500) return Biff::V5;
    if (version >= 0x0200) return Biff::Old;
    return data.size() >= 16 ? Biff::V8 : Biff::V5;
}

void RecordWriter::write(uint16_t type, std::span<const uint8_t> data) {
    size_t first = std::min(data.size(), kMaxRecordData);
    put16(bytes_, type);
    put16(bytes_, static_cast<uint16_t>(first));
    bytes_.insert(bytes_.end(), data.begin(), data.begin() + first);
    for (size_t at = first; at < data.size(); at += kMaxRecordData) {
        size_t n = std::min(data.size() - at, kMaxRecordData);
        put16(bytes_, rec::kContinue);
        put16(bytes_, static_cast<uint16_t>(n));
        bytes_.insert(bytes_.end(), data.begin() + at, data.begin() + at + n);
    }
}

}  // namespace tabrovin::xls
