#include "platform/sheets/csv_reader.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "platform/encoding.h"
#include "platform/file_names.h"
#include "platform/sheets/row_assembler.h"

namespace tabrovin::sheets {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kBom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeBom = "\xFF\xFE";
constexpr std::string_view kUtf16BeBom = "\xFE\xFF";
constexpr int kUtf8 = 65001;
constexpr size_t kNotFound = std::numeric_limits<size_t>::max();

// The longest prefix of `bytes` that ends at an ASCII byte, so that a
// multi-byte character cut by a read boundary is left out.
size_t wholeCharacters(std::string_view bytes) {
    for (size_t i = bytes.size(); i > 0; --i)
        if (static_cast<unsigned char>(bytes[i - 1]) < 0x80) return i;
    return 0;
}

// How many bytes at the end of `bytes` start a UTF-8 sequence that a read
// boundary cut short (0 to 3); they belong with the next block.
size_t cutSequence(std::string_view bytes) {
    for (size_t back = 1; back <= 3 && back <= bytes.size(); ++back) {
        auto c = static_cast<unsigned char>(bytes[bytes.size() - back]);
        if ((c & 0xC0) == 0x80) continue;
        size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        return length > back ? back : 0;
    }
    return 0;
}

constexpr size_t kBlockBytes = 1 << 20;

// Reads `path` in blocks of kBlockBytes; `block` returning false stops early.
Status readBlocks(const fs::path& path, const std::function<bool(std::string_view)>& block) {
    std::string why;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> in(openRegularFile(path, why), std::fclose);
    if (!in) return Error::fileAccess(path, why);
    std::error_code ec;
    uintmax_t size = fs::file_size(path, ec);
    std::vector<char> buf(ec ? kBlockBytes : std::min<uintmax_t>(size + 1, kBlockBytes));
    for (size_t n; (n = std::fread(buf.data(), 1, buf.size(), in.get())) > 0;)
        if (!block({buf.data(), n})) return Status::Ok();
    if (std::ferror(in.get())) return Error::fileAccess(path, "读取文件时出错");
    return Status::Ok();
}

// UTF-16 bytes, block by block, to UTF-8. A code unit or surrogate pair cut
// by a block end waits for the next block; unpaired surrogates become U+FFFD.
class Utf16Decoder {
  public:
    explicit Utf16Decoder(bool bigEndian) : bigEndian_(bigEndian) {}

    void feed(std::string_view bytes, std::string& out) {
        carry_.append(bytes);
        size_t i = 0;
        for (; i + 1 < carry_.size(); i += 2) {
            char32_t u = unit(i);
            if (u >= 0xD800 && u < 0xDC00) {
                if (i + 3 >= carry_.size()) break;  // its partner is in the next block
                char32_t low = unit(i + 2);
                if (low >= 0xDC00 && low < 0xE000) {
                    u = 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
                    i += 2;
                } else {
                    u = 0xFFFD;
                }
            } else if (u >= 0xDC00 && u < 0xE000) {
                u = 0xFFFD;
            }
            encoding::appendUtf8(out, u);
        }
        carry_.erase(0, i);
    }
    // What a cut file leaves over.
    void finish(std::string& out) {
        if (!carry_.empty()) encoding::appendUtf8(out, 0xFFFD);
        carry_.clear();
    }

  private:
    char32_t unit(size_t i) const {
        auto a = static_cast<unsigned char>(carry_[i]),
             b = static_cast<unsigned char>(carry_[i + 1]);
        return bigEndian_ ? char32_t(a) << 8 | b : char32_t(b) << 8 | a;
    }

    bool bigEndian_;
    std::string carry_;
};

// Reads the text of `path` in blocks as every reading of a CSV file sees it:
// without its byte-order mark, UTF-16 turned into UTF-8, and NUL characters
// dropped (they would end texts early in the database, and GBK decoding
// joins fields with them). `block` returning false stops early.
Status readText(const fs::path& path, const std::function<bool(std::string_view)>& block) {
    std::optional<Utf16Decoder> utf16;
    bool first = true, more = true;
    std::string text;
    auto pass = [&](std::string_view bytes) {
        if (bytes.find('\0') != std::string_view::npos) {
            if (bytes.data() != text.data()) text.assign(bytes);
            std::erase(text, '\0');
            bytes = text;
        }
        return more = bytes.empty() || block(bytes);
    };
    TABROVIN_TRY(readBlocks(path, [&](std::string_view bytes) {
        if (first) {
            first = false;
            if (bytes.starts_with(kBom)) {
                bytes.remove_prefix(kBom.size());
            } else if (bytes.starts_with(kUtf16LeBom) || bytes.starts_with(kUtf16BeBom)) {
                utf16.emplace(bytes.starts_with(kUtf16BeBom));
                bytes.remove_prefix(2);
            }
        }
        if (!utf16) return pass(bytes);
        text.clear();
        utf16->feed(bytes, text);
        return pass(text);
    }));
    if (utf16 && more) {
        text.clear();
        utf16->finish(text);
        pass(text);
    }
    return Status::Ok();
}

// Splits CSV text into records of raw fields; fed block by block.
// A field longer than a spreadsheet cell can hold, a record with more fields
// than a sheet has columns, or a record of more bytes than kMaxRecordBytes
// stops the split before it is held: otherwise a small damaged file, or one
// long line, could take all memory.
class CsvSplitter {
  public:
    static constexpr size_t kMaxFieldBytes = 4 * 32767;
    static constexpr size_t kMaxFields = 16384;
    static constexpr size_t kMaxRecordBytes = 16 << 20;

    using Record = std::function<bool(std::vector<std::string>&)>;
    CsvSplitter(Record record, char separator)
        : record_(std::move(record)), separator_(separator) {}

    bool feed(std::string_view bytes) {
        for (size_t i = 0; i < bytes.size(); ++i) {
            consumed_ = fed_ + i + 1;
            char c = bytes[i];
            if (quoted_) {
                if (c != '"') {
                    if (!append(c)) return false;
                } else if (i + 1 < bytes.size()) {
                    if (bytes[i + 1] != '"')
                        quoted_ = false;
                    else if (++i, !append('"'))
                        return false;
                } else {
                    pendingQuote_ = true;  // decided by the next block
                    quoted_ = false;
                }
                continue;
            }
            if (pendingQuote_) {
                pendingQuote_ = false;
                if (c == '"') {
                    quoted_ = true;
                    if (!append('"')) return false;
                    continue;
                }
            }
            if (!step(c)) return false;
        }
        fed_ += bytes.size();
        return true;
    }
    // Why the split stopped early, if a limit stopped it, and in which column.
    const std::string& overflow() const { return overflow_; }
    int overflowColumn() const { return overflowColumn_; }
    // Bytes of text up to the end of the record last handed over.
    uint64_t consumed() const { return consumed_; }
    // Ends the text; a last line without a line end still counts.
    bool finish() {
        pendingQuote_ = false;
        if (started_) return endRecord();
        return true;
    }

  private:
    bool append(char c) {
        if (field_.size() >= kMaxFieldBytes) {
            overflowColumn_ = static_cast<int>(fields_.size() + 1);
            overflow_ = "单元格的文字超过 32767 个字符";
            return false;
        }
        if (++recordBytes_ > kMaxRecordBytes) {
            overflow_ = "一行的文字超过 " + std::to_string(kMaxRecordBytes >> 20) + " MB";
            return false;
        }
        field_ += c;
        return true;
    }
    bool step(char c) {
        if (afterCr_ && c == '\n') {
            afterCr_ = false;
            return true;
        }
        afterCr_ = false;
        if (c == '"' && field_.empty() && !fieldHadQuote_) {
            quoted_ = fieldHadQuote_ = started_ = true;
        } else if (c == separator_) {
            if (fields_.size() + 1 >= kMaxFields) {
                overflow_ = "一行超过 " + std::to_string(kMaxFields) + " 列";
                return false;
            }
            fields_.push_back(std::move(field_));
            field_.clear();
            fieldHadQuote_ = false;
            started_ = true;
        } else if (c == '\n' || c == '\r') {
            afterCr_ = c == '\r';
            return endRecord();
        } else {
            started_ = true;
            return append(c);
        }
        return true;
    }
    bool endRecord() {
        fields_.push_back(std::move(field_));
        field_.clear();
        fieldHadQuote_ = started_ = false;
        recordBytes_ = 0;
        bool more = record_(fields_);
        fields_.clear();
        return more;
    }

    Record record_;
    char separator_ = ',';
    std::vector<std::string> fields_;
    std::string field_;
    std::string overflow_;
    int overflowColumn_ = 0;
    size_t recordBytes_ = 0;
    uint64_t fed_ = 0, consumed_ = 0;
    bool quoted_ = false, pendingQuote_ = false, fieldHadQuote_ = false, afterCr_ = false;
    bool started_ = false;
};

// Share of NUL bytes at or above which a head is not text with stray NULs.
constexpr size_t kNulShare = 16;

bool isControl(unsigned char c) {
    return (c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f' && c != '\v' &&
            c != 0x1A) ||
           c == 0x7F;
}

// The text to judge in a head: no NULs and no byte-order mark, and unless it
// is the whole file, only up to its last line end, so that no character is cut.
std::string headText(std::string_view head, bool whole) {
    std::string text(head);
    std::erase(text, '\0');
    std::string_view view = text;
    if (view.starts_with(kBom)) view.remove_prefix(kBom.size());
    if (!whole) {
        size_t end = view.rfind('\n');
        view = view.substr(0, end == std::string_view::npos ? wholeCharacters(view) : end + 1);
    }
    return std::string(view);
}

}  // namespace

CsvSniff sniffCsv(std::string_view head, bool whole) {
    if (head.starts_with(kUtf16LeBom) || head.starts_with(kUtf16BeBom)) return CsvSniff::kText;
    size_t nuls[2] = {0, 0};
    for (size_t i = 0; i < head.size(); ++i)
        if (head[i] == '\0') ++nuls[i % 2];
    size_t allNuls = nuls[0] + nuls[1];
    if (allNuls >= 4 && allNuls * kNulShare >= head.size())
        return std::max(nuls[0], nuls[1]) * 10 >= allNuls * 9 ? CsvSniff::kUtf16WithoutBom
                                                              : CsvSniff::kBinary;
    std::string text = headText(head, whole);
    if (encoding::isValidUtf8(text) || encoding::toUtf8(text, encoding::kGb18030))
        return CsvSniff::kText;
    size_t controls = std::count_if(
        text.begin(), text.end(), [](char c) { return isControl(static_cast<unsigned char>(c)); });
    return controls * 100 > text.size() ? CsvSniff::kBinary : CsvSniff::kText;
}

namespace {

struct CsvFile {
    fs::path path;
    bool gbk = false;
    char separator = ',';
    bool separatorLine = false;      // the first line only names the separator
    uint64_t badUtf8At = kNotFound;  // text offset of the first byte that is not UTF-8
};

// Which of fields[from, to) is not valid in the code page, counted from 1.
int badField(const std::vector<std::string>& fields, int codePage, size_t from, size_t to) {
    size_t bad = from;
    while (bad + 1 < to && encoding::toUtf8(fields[bad], codePage)) ++bad;
    return static_cast<int>(bad + 1);
}

// Turns a GBK record, whose fields hold no NUL, into UTF-8, a batch of fields
// at a time in one conversion with NULs between them; the column of a field
// that is not GBK, or 0. Batches keep the conversion's buffers small whatever
// the record.
int decodeGbk(std::vector<std::string>& fields) {
    constexpr size_t kBatchBytes = 1 << 20;
    std::string joined;
    for (size_t first = 0, last = 0; first < fields.size(); first = last) {
        joined = fields[last++];
        while (last < fields.size() && joined.size() + fields[last].size() < kBatchBytes)
            (joined += '\0') += fields[last++];
        auto utf8 = encoding::toUtf8(joined, encoding::kGb18030);
        if (!utf8) return badField(fields, encoding::kGb18030, first, last);
        size_t start = 0;
        for (size_t i = first; i < last; ++i) {
            size_t end = std::min(utf8->find('\0', start), utf8->size());
            fields[i].assign(*utf8, start, end - start);
            start = end + 1;
        }
    }
    return 0;
}

Error notEncoded(int32_t row, int column, const char* why) {
    return Error::cellConversion(why, CellPlace{0, row, column});
}

// Hands each record, decoded to UTF-8 and numbered from 1, to `record`;
// `record` returning false stops the scan.
//
// A record that is neither GBK nor UTF-8 is blamed on the line where UTF-8
// broke when that comes later: the file was UTF-8 up to there, and its
// earlier lines failed GBK only for being UTF-8.
Status scanCsv(const CsvFile& file,
               const std::function<bool(int32_t, std::vector<std::string>&)>& record) {
    int32_t row = 0, notGbkRow = 0, notGbkColumn = 0, notUtf8Row = 0, notUtf8Column = 0;
    bool tooManyRows = false, skipLine = file.separatorLine;
    CsvSplitter splitter(
        [&](std::vector<std::string>& fields) {
            if (std::exchange(skipLine, false)) return true;
            if (row == std::numeric_limits<int32_t>::max()) {
                tooManyRows = true;
                return false;
            }
            ++row;
            if (!notUtf8Row && splitter.consumed() > file.badUtf8At) {
                notUtf8Row = row;
                notUtf8Column = badField(fields, kUtf8, 0, fields.size());
            }
            if (notGbkRow) return notUtf8Row == 0;      // only looking for where UTF-8 broke
            if (!file.gbk && notUtf8Row) return false;  // UTF-8 with a broken character
            if (file.gbk && (notGbkColumn = decodeGbk(fields)) != 0) {
                notGbkRow = row;
                return notUtf8Row == 0;
            }
            return record(row, fields);
        },
        file.separator);
    bool more = true;
    TABROVIN_TRY(
        readText(file.path, [&](std::string_view block) { return more = splitter.feed(block); }));
    if (more) more = splitter.finish();
    if (!splitter.overflow().empty())
        return Error::damagedWorkbook(file.path, splitter.overflow(),
                                      CellPlace{0, row + 1, splitter.overflowColumn()});
    if (notGbkRow && notUtf8Row > notGbkRow)
        return notEncoded(notUtf8Row, notUtf8Column,
                          "文字不是有效的 UTF-8 编码（文件前面各行都是 UTF-8 编码）");
    if (notUtf8Row && !file.gbk)
        return notEncoded(notUtf8Row, notUtf8Column,
                          "文字不是有效的 UTF-8 编码（文件前面各行都是 UTF-8 编码）");
    if (notGbkRow)
        return notEncoded(notGbkRow, notGbkColumn,
                          "文字既不是 UTF-8 编码也不是 GB18030（GBK）编码");
    if (tooManyRows) return Error::damagedWorkbook(file.path, "行数超过工作表能容纳的行数");
    return Status::Ok();
}

class CsvWorksheet : public Worksheet {
  public:
    explicit CsvWorksheet(CsvFile file) : file_(std::move(file)) {}
    Status measure() {
        return scanCsv(file_, [this](int32_t row, std::vector<std::string>& fields) {
            for (size_t i = fields.size(); i > 0; --i)
                if (!fields[i - 1].empty()) {
                    size_.rows = row;
                    size_.columns = std::max(size_.columns, static_cast<int32_t>(i));
                    break;
                }
            return true;
        });
    }
    SheetSize size() const override { return size_; }
    Status readRows(int32_t first, int32_t last, int32_t columns, const RowSink& sink) override {
        RowAssembler rows(first, last, columns, sink);
        TABROVIN_TRY(scanCsv(file_, [&](int32_t row, std::vector<std::string>& fields) {
            if (!rows.startRow(row)) return false;
            for (size_t i = 0; i < fields.size() && rows.wantsColumn(int32_t(i + 1)); ++i)
                rows.set(static_cast<int32_t>(i + 1), fields[i]);
            return true;
        }));
        return rows.finish();
    }

  private:
    CsvFile file_;
    SheetSize size_;
};

class CsvWorkbook : public Workbook {
  public:
    explicit CsvWorkbook(CsvFile file) : file_(std::move(file)) {}
    int sheetCount() const override { return 1; }
    Result<std::unique_ptr<Worksheet>> worksheet(int number) override {
        if (number != 1) return Error::noSuchSheet(number, 1);
        auto sheet = std::make_unique<CsvWorksheet>(file_);
        TABROVIN_TRY(sheet->measure());
        return std::unique_ptr<Worksheet>(std::move(sheet));
    }

  private:
    CsvFile file_;
};

}  // namespace

namespace {

// Spreadsheet programs read a first line "sep=;" as naming the separator
// (any one character but a quote or a line end), not as a row.
void readSeparatorLine(std::string_view text, CsvFile& file) {
    constexpr std::string_view kSep = "sep=";
    if (text.size() < kSep.size() + 1 || text.substr(0, kSep.size()) != kSep) return;
    const char c = text[kSep.size()];
    const std::string_view after = text.substr(kSep.size() + 1);
    if (c == '"' || c == '\r' || c == '\n' || static_cast<unsigned char>(c) >= 0x80) return;
    if (!after.empty() && after[0] != '\r' && after[0] != '\n') return;
    file.separator = c;
    file.separatorLine = true;
}

}  // namespace

Result<std::unique_ptr<Workbook>> openCsv(const fs::path& path) {
    // UTF-8 only when the whole text is; a character cut by a block end is
    // carried to the next block, and one cut by the end of the file is not UTF-8.
    CsvFile file{path};
    uint64_t offset = 0, utf8Characters = 0;
    std::string carry;
    TABROVIN_TRY(readText(path, [&](std::string_view block) {
        if (offset == 0 && carry.empty()) readSeparatorLine(block, file);
        std::string bytes = carry + std::string(block);
        std::string_view view = bytes;
        size_t whole = view.size() - cutSequence(view);
        size_t valid = encoding::validUtf8Prefix(view.substr(0, whole));
        utf8Characters += std::count_if(view.begin(), view.begin() + valid, [](char c) {
            return static_cast<unsigned char>(c) >= 0xC0;
        });
        if (valid < whole) {
            file.badUtf8At = offset - carry.size() + valid;
            return false;
        }
        offset += block.size();
        carry.assign(view.substr(whole));
        return true;
    }));
    if (file.badUtf8At == kNotFound && !carry.empty()) file.badUtf8At = offset - carry.size();
    // GB18030 takes nearly any run of high bytes, UTF-8 Chinese text among
    // them, while GB18030 text seldom passes for UTF-8 beyond a character or
    // two: a file with Chinese UTF-8 before its first bad byte is broken
    // UTF-8, refused where it breaks rather than read as mojibake.
    constexpr uint64_t kUtf8Evidence = 4;
    file.gbk = file.badUtf8At != kNotFound && utf8Characters < kUtf8Evidence;
    return std::unique_ptr<Workbook>(std::make_unique<CsvWorkbook>(std::move(file)));
}

}  // namespace tabrovin::sheets
