#include "platform/xls/biff_record.h"

namespace tabrovin::xls {

bool RecordReader::readHeader(size_t at, uint16_t& type, uint16_t& len) {
    if (at + 4 > stream_.size()) return false;
    type = u16(stream_, at);
    len = u16(stream_, at + 2);
    return true;
}

bool RecordReader::next(Record& out, bool gatherContinues) {
    error_.reset();
    uint16_t type = 0, len = 0;
    if (!readHeader(pos_, type, len)) return false;
    if (pos_ + 4 + len > stream_.size()) {
        error_ = Error{err::kDamagedWorkbook,
                       "工作簿已损坏: 位置 " + std::to_string(pos_) + " 处的记录超出了数据流末尾"};
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
            error_ = Error{err::kDamagedWorkbook, "工作簿已损坏: 位置 " + std::to_string(pos_) +
                                                      " 处的 CONTINUE 记录超出了数据流末尾"};
            return false;
        }
        out.continues.push_back(stream_.subspan(pos_ + 4, clen));
        pos_ += 4 + clen;
    }
    return true;
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
