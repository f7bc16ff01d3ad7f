#include "platform/sheets/csv_reader.h"

#include <algorithm>
#include <fstream>
#include <functional>
#include <vector>

#include "platform/encoding.h"
#include "platform/file_names.h"
#include "platform/sheets/row_assembler.h"

namespace tabrovin::sheets {
namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

// The longest prefix of `bytes` that ends at an ASCII byte, so that a
// multi-byte character cut by a read boundary is left for the next read.
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

Error cannotRead(const std::filesystem::path& path) {
    return Error{err::kFileAccess, "无法读取文件“" + utf8FromPath(path) + "”。"};
}

// Reads `path` in blocks; `block` returning false stops early.
Status readBlocks(const std::filesystem::path& path,
                  const std::function<bool(std::string_view)>& block) {
    std::ifstream in(path, std::ios::binary);  // wide-character paths on Windows too
    if (!in) return cannotRead(path);
    std::vector<char> buf(1 << 20);
    while (in.read(buf.data(), static_cast<std::streamsize>(buf.size())) || in.gcount() > 0)
        if (!block({buf.data(), static_cast<size_t>(in.gcount())})) return Status::Ok();
    if (in.bad()) return cannotRead(path);
    return Status::Ok();
}

// Splits CSV bytes into records of raw fields; fed block by block.
// A field longer than a spreadsheet cell can hold, or a record with more
// fields than a sheet has columns, stops the split: holding either would let
// a small damaged file take all memory.
class CsvSplitter {
  public:
    static constexpr size_t kMaxFieldBytes = 4 * 32767;
    static constexpr size_t kMaxFields = 16384;

    using Record = std::function<bool(std::vector<std::string>&)>;
    explicit CsvSplitter(Record record) : record_(std::move(record)) {}

    bool feed(std::string_view bytes) {
        for (size_t i = 0; i < bytes.size(); ++i) {
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
        return true;
    }
    // Why the split stopped early, if a limit stopped it.
    const std::string& overflow() const { return overflow_; }
    // Ends the text; a last line without a line end still counts.
    bool finish() {
        pendingQuote_ = false;
        if (started_) return endRecord();
        return true;
    }

  private:
    bool append(char c) {
        if (field_.size() >= kMaxFieldBytes) {
            overflow_ = "第" + std::to_string(fields_.size() + 1) + "列的文字超过 32767 个字符";
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
        } else if (c == ',') {
            if (fields_.size() + 1 >= kMaxFields) {
                overflow_ = "超过 " + std::to_string(kMaxFields) + " 列";
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
        bool more = record_(fields_);
        fields_.clear();
        return more;
    }

    Record record_;
    std::vector<std::string> fields_;
    std::string field_;
    std::string overflow_;
    bool quoted_ = false, pendingQuote_ = false, fieldHadQuote_ = false, afterCr_ = false;
    bool started_ = false;
};

}  // namespace

bool looksLikeCsv(std::string_view head, bool whole) {
    if (head.find('\0') != std::string_view::npos) return false;
    if (head.starts_with(kBom)) head.remove_prefix(kBom.size());
    if (!whole) head = head.substr(0, wholeCharacters(head));
    return encoding::isValidUtf8(head) || encoding::toUtf8(head, encoding::kGbk).has_value();
}

namespace {

struct CsvFile {
    std::filesystem::path path;
    bool gbk = false;
};

// Turns a GBK record, whose fields hold no NUL, into UTF-8 in one conversion
// with NULs between the fields; on failure finds the field at fault.
Status decodeGbk(std::vector<std::string>& fields, int32_t row) {
    std::string joined;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i) joined += '\0';
        joined += fields[i];
    }
    auto utf8 = encoding::toUtf8(joined, encoding::kGbk);
    if (utf8) {
        size_t start = 0;
        for (auto& field : fields) {
            size_t end = std::min(utf8->find('\0', start), utf8->size());
            field.assign(*utf8, start, end - start);
            start = end + 1;
        }
        return Status::Ok();
    }
    size_t bad = 0;
    while (bad + 1 < fields.size() && encoding::toUtf8(fields[bad], encoding::kGbk)) ++bad;
    return Error{err::kCellConversion, "CSV 文件第" + std::to_string(row) + "行第" +
                                           std::to_string(bad + 1) +
                                           "列的文字既不是 UTF-8 也不是 GBK 编码。"};
}

// Hands each record, decoded to UTF-8 and numbered from 1, to `record`;
// `record` returning false stops the scan.
Status scanCsv(const CsvFile& file,
               const std::function<bool(int32_t, std::vector<std::string>&)>& record) {
    int32_t row = 0;
    Status failure;
    CsvSplitter splitter([&](std::vector<std::string>& fields) {
        ++row;
        // NULs would reach the database text, and the GBK path joins fields with them.
        for (auto& field : fields)
            if (field.find('\0') != std::string::npos) std::erase(field, '\0');
        if (file.gbk) {
            failure = decodeGbk(fields, row);
            if (!failure.ok()) return false;
        }
        return record(row, fields);
    });
    bool first = true, more = true;
    TABROVIN_TRY(readBlocks(file.path, [&](std::string_view block) {
        if (first && block.starts_with(kBom)) block.remove_prefix(kBom.size());
        first = false;
        more = splitter.feed(block);
        return more;
    }));
    if (more) splitter.finish();
    if (!splitter.overflow().empty())
        return Error{err::kDamagedWorkbook, "CSV 文件第" + std::to_string(row + 1) + "行" +
                                                splitter.overflow() + ", 不是可以导入的表格。"};
    return failure;
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
                rows.set(static_cast<int32_t>(i + 1), std::move(fields[i]));
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
        if (number != 1)
            return Error{err::kSubscript,
                         "CSV 文件只有 1 个工作表，没有第" + std::to_string(number) + "个。"};
        auto sheet = std::make_unique<CsvWorksheet>(file_);
        TABROVIN_TRY(sheet->measure());
        return std::unique_ptr<Worksheet>(std::move(sheet));
    }

  private:
    CsvFile file_;
};

}  // namespace

Result<std::unique_ptr<Workbook>> openCsv(const std::filesystem::path& path) {
    // UTF-8 only when the whole file is; a character cut by a block end is
    // carried to the next block, and one cut by the end of the file is not UTF-8.
    bool utf8 = true, first = true;
    std::string carry;
    TABROVIN_TRY(readBlocks(path, [&](std::string_view block) {
        std::string bytes = carry + std::string(block);
        std::string_view view = bytes;
        if (first && view.starts_with(kBom)) view.remove_prefix(kBom.size());
        first = false;
        size_t whole = view.size() - cutSequence(view);
        utf8 = encoding::isValidUtf8(view.substr(0, whole));
        carry.assign(view.substr(whole));
        return utf8;
    }));
    if (!carry.empty()) utf8 = false;
    return std::unique_ptr<Workbook>(std::make_unique<CsvWorkbook>(CsvFile{path, !utf8}));
}

}  // namespace tabrovin::sheets
