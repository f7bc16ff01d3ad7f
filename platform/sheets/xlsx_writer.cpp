#include "platform/sheets/xlsx_writer.h"

#include <gsf/gsf-infile-zip.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-outfile-zip.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-stdio.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <map>
#include <thread>

#include "platform/file_names.h"
#include "platform/gsf_support.h"
#include "platform/handoff.h"
#include "platform/sheets/xlsx_reader.h"
#include "platform/sheets/xlsx_template.h"

namespace tabrovin::sheets {
namespace fs = std::filesystem;
using namespace xlsx_template;

namespace {

// zlib's own default: Excel's files come out about as small.
constexpr int kDeflateLevel = 6;
// A template is a blank or formatted workbook, never a data dump.
constexpr size_t kMaxTemplateBytes = 64u << 20;
constexpr size_t kMaxTemplateParts = 4096;
// The worksheet goes to the zip in pieces of this size.
constexpr size_t kChunk = 1u << 20;
// Below this many cells a page is made faster than a thread is started.
constexpr int64_t kThreadedFromCells = 50000;
constexpr size_t kMaxCellUnits = 32767;

// ---- Reading the template ----------------------------------------------

Status readChildren(GsfInfile* dir, const std::string& folder, std::vector<Part>& parts,
                    size_t& bytes, const fs::path& file) {
    const int count = gsf_infile_num_children(dir);
    for (int i = 0; i < count; ++i) {
        gsf::Ptr<GsfInput> child(gsf_infile_child_by_index(dir, i));
        const char* name = gsf_infile_name_by_index(dir, i);
        if (!child || !name) return Error::damagedWorkbook(file, "压缩包中有无法读取的部分");
        std::string path = folder + name;
        if (GSF_IS_INFILE(child.get()) && gsf_infile_num_children(GSF_INFILE(child.get())) >= 0) {
            TABROVIN_TRY(readChildren(GSF_INFILE(child.get()), path + "/", parts, bytes, file));
            continue;
        }
        const auto size = static_cast<size_t>(std::max<gsf_off_t>(gsf_input_size(child.get()), 0));
        bytes += size;
        if (parts.size() >= kMaxTemplateParts || bytes > kMaxTemplateBytes)
            return Error::damagedWorkbook(file, "作为导出模板过大（超过 64 MB）");
        Part& part = parts.emplace_back();
        part.name = path;
        part.data.resize(size);
        if (size && !gsf_input_read(child.get(), size, reinterpret_cast<guint8*>(part.data.data())))
            return Error::damagedWorkbook(file, "压缩包中的“" + path + "”无法解压");
    }
    return Status::Ok();
}

Result<std::vector<Part>> readParts(const fs::path& file) {
    std::string why;
    gsf::Ptr<GsfInput> input(gsf::openInput(file, why));
    if (!input) return Error::fileAccess(file, why);
    gsf::Ptr<GsfInfile> zip(gsf_infile_zip_new(input.get(), nullptr));
    if (!zip) return Error::damagedWorkbook(file, "无法读取压缩包目录（文件可能不完整）");
    std::vector<Part> parts;
    size_t bytes = 0;
    TABROVIN_TRY(readChildren(zip.get(), "", parts, bytes, file));
    return parts;
}

// Pages carry the template's parts: what the reader refuses in it, it
// would refuse in every page.
Result<std::string> checkedSheetPart(const fs::path& file) {
    auto zip = ZipArchive::open(file);
    if (!zip) {
        if (isEncryptedPackage(file)) return Error::encryptedWorkbook(file);
        return Error::notWorkbook(file, "它不是 .xlsx 工作簿（无法作为压缩包读取）");
    }
    auto book = workbookPart(**zip);
    if (!book) return book.error();
    if (book->empty()) return Error::notWorkbook(file, "压缩包中没有 Excel 工作簿");
    auto sheet = firstWorksheetPart(*zip, *book);
    if (!sheet) return sheet.error();
    auto opened = openXlsx(std::move(*zip), *book);
    if (!opened) return opened.error();
    auto first = (*opened)->worksheet(1);
    if (!first) return first.error();
    SheetSize size = (*first)->size();
    TABROVIN_TRY(
        (*first)->readRows(1, size.rows, size.columns,
                           [](int32_t, const std::vector<std::string>&) { return Status::Ok(); }));
    return sheet;
}

// Removes from `xml` every empty element `<local .../>` whose attribute
// `attr` ends with `value`.
void dropElements(std::string& xml, std::string_view local, std::string_view attr,
                  std::string_view value) {
    for (size_t pos = 0; (pos = xml.find("<", pos)) != std::string::npos;) {
        size_t end = xml.find('>', pos);
        if (end == std::string::npos) return;
        std::string_view tag(xml.data() + pos, end + 1 - pos);
        size_t at = tag.find(std::string(attr) + "=\"");
        bool drop = tag.substr(1).starts_with(local) && at != std::string_view::npos;
        if (drop) {
            size_t from = at + attr.size() + 2, to = tag.find('"', from);
            drop = to != std::string_view::npos && tag.substr(from, to - from).ends_with(value);
        }
        if (drop)
            xml.erase(pos, end + 1 - pos);
        else
            pos = end + 1;
    }
}

// The calculation chain lists formula cells by place; once rows move it
// would name the wrong ones, and the spreadsheet rebuilds it when missing.
void dropCalcChain(std::vector<Part>& parts) {
    auto chain = std::find_if(parts.begin(), parts.end(),
                              [](const Part& p) { return p.name.ends_with("calcChain.xml"); });
    if (chain == parts.end()) return;
    const std::string name = chain->name;
    parts.erase(chain);
    for (auto& p : parts) {
        if (p.name == "[Content_Types].xml") dropElements(p.data, "Override", "PartName", name);
        if (p.name.ends_with(".rels")) dropElements(p.data, "Relationship", "Type", "/calcChain");
    }
}

// ---- Cell texts ----------------------------------------------------------

// The code point at `i` and its length; bad UTF-8 is U+FFFD, one byte long.
std::pair<char32_t, size_t> decode(std::string_view s, size_t i) {
    auto b = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    unsigned char c = b(i);
    if (c < 0x80) return {c, 1};
    size_t n = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
    if (n == 0 || c > 0xF4) return {0xFFFD, 1};
    char32_t cp = c & (0x7F >> n);
    size_t k = 1;
    for (; k < n && i + k < s.size() && (b(i + k) & 0xC0) == 0x80; ++k)
        cp = (cp << 6) | (b(i + k) & 0x3F);
    if (k < n) return {0xFFFD, k};  // a sequence cut short is one bad character
    const char32_t least = n == 2 ? 0x80 : n == 3 ? 0x800 : 0x10000;
    if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)) return {0xFFFD, 1};
    return {cp, n};
}

// Whether `s` at `i` reads as an escape "_xHHHH_", which a reader would decode.
bool looksEscaped(std::string_view s, size_t i) {
    if (i + 7 > s.size() || s[i + 1] != 'x' || s[i + 6] != '_') return false;
    return std::all_of(s.begin() + static_cast<std::ptrdiff_t>(i) + 2,
                       s.begin() + static_cast<std::ptrdiff_t>(i) + 6,
                       [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); });
}

void appendEscape(std::string& out, unsigned unit) {
    static const char* hex = "0123456789ABCDEF";
    out += "_x";
    for (int shift = 12; shift >= 0; shift -= 4) out += hex[(unit >> shift) & 0xF];
    out += '_';
}

bool plain(std::string_view s) {
    if (s.size() > kMaxCellUnits) return false;
    return std::none_of(s.begin(), s.end(), [](char ch) {
        auto c = static_cast<unsigned char>(ch);
        return c < 0x20 || c >= 0x80 || c == '<' || c == '>' || c == '&' || c == '_';
    });
}

// `s` as the text of a <t> element: what XML cannot carry as "_xHHHH_", as
// Excel writes it (openpyxl shows such escapes undecoded, but there is no
// other way), and a CR as a character reference; cut whole at a cell's
// 32,767 UTF-16 units.
void appendCellText(std::string& out, std::string_view s) {
    if (plain(s)) {
        out += s;
        return;
    }
    size_t units = 0;
    for (size_t i = 0; i < s.size();) {
        auto [cp, n] = decode(s, i);
        units += cp >= 0x10000 ? 2 : 1;
        if (units > kMaxCellUnits) return;
        if (cp == 0) {
        } else if (cp == '\r') {
            out += "&#13;";  // as a reference it survives XML's line-end folding in every reader
        } else if ((cp < 0x20 && cp != '\t' && cp != '\n') || cp == 0xFFFE || cp == 0xFFFF) {
            appendEscape(out, cp);
        } else if (cp == '<') {
            out += "&lt;";
        } else if (cp == '>') {
            out += "&gt;";
        } else if (cp == '&') {
            out += "&amp;";
        } else if (cp == '_' && looksEscaped(s, i)) {
            out += "_x005F_";
        } else if (cp == 0xFFFD) {
            out += "\xEF\xBF\xBD";
        } else {
            out.append(s.substr(i, n));
        }
        i += n;
    }
}

bool needsPreserve(std::string_view s) {
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    return !s.empty() && (blank(s.front()) || blank(s.back()));
}

void appendNumber(std::string& out, int64_t v) {
    char digits[24];
    auto end = std::to_chars(digits, digits + sizeof digits, v).ptr;
    out.append(digits, end);
}

// ---- The zip being written -----------------------------------------------

class ZipWriter {
  public:
    ~ZipWriter() { close(); }
    Status open(const fs::path& tmp, const fs::path& out) {
        gsf::ensureStarted();
        out_ = out;
#ifdef _WIN32
        std::FILE* f = _wfopen(tmp.c_str(), L"wb");
#else
        std::FILE* f = std::fopen(tmp.c_str(), "wb");
#endif
        if (!f) return Error::fileAccess(out, "无法在它所在的文件夹中创建文件，请检查写入权限");
        sink_ = gsf_output_stdio_new_FILE(glibFileName(tmp).c_str(), f, FALSE);
        if (!sink_) {
            std::fclose(f);
            return Error::workbookWrite(out, "无法开始写入");
        }
        root_ = gsf_outfile_zip_new(sink_, nullptr);
        if (!root_) return Error::workbookWrite(out, "无法开始写入压缩包");
        return Status::Ok();
    }
    // A new part; null when the zip refuses it.
    GsfOutput* part(const std::string& name) {
        size_t slash = name.rfind('/');
        GsfOutfile* dir = slash == std::string::npos ? root_ : folder(name.substr(0, slash));
        if (!dir) return nullptr;
        std::string leaf = slash == std::string::npos ? name : name.substr(slash + 1);
        return gsf_outfile_new_child_full(dir, leaf.c_str(), FALSE, "compression-level",
                                          GSF_ZIP_DEFLATED, "deflate-level", kDeflateLevel,
                                          nullptr);
    }
    Status put(const Part& p) {
        gsf::Ptr<GsfOutput> out(part(p.name));
        if (!out) return failed();
        if (!write(out.get(), p.data) || !gsf_output_close(out.get())) return failed();
        return Status::Ok();
    }
    static bool write(GsfOutput* to, std::string_view bytes) {
        return bytes.empty() ||
               gsf_output_write(to, bytes.size(), reinterpret_cast<const guint8*>(bytes.data()));
    }
    Error failed() const {
        return Error::workbookWrite(out_, "写入时出错，磁盘可能已满");
    }
    // Writes the zip's directory; false when that fails.
    bool close() {
        bool ok = root_ != nullptr;
        // The deepest folders first: a folder is finished once its contents are.
        for (auto it = folders_.rbegin(); it != folders_.rend(); ++it) {
            ok = gsf_output_close(GSF_OUTPUT(it->second)) && ok;
            g_object_unref(it->second);
        }
        folders_.clear();
        if (root_) {
            ok = gsf_output_close(GSF_OUTPUT(root_)) && ok;
            g_object_unref(root_);
            root_ = nullptr;
        }
        if (sink_) {
            ok = gsf_output_close(sink_) && ok;
            g_object_unref(sink_);
            sink_ = nullptr;
        }
        return ok;
    }

  private:
    GsfOutfile* folder(const std::string& path) {
        if (auto it = folders_.find(path); it != folders_.end()) return it->second;
        size_t slash = path.rfind('/');
        GsfOutfile* parent = slash == std::string::npos ? root_ : folder(path.substr(0, slash));
        if (!parent) return nullptr;
        std::string leaf = slash == std::string::npos ? path : path.substr(slash + 1);
        GsfOutput* made = gsf_outfile_new_child(parent, leaf.c_str(), TRUE);
        if (!made) return nullptr;
        folders_[path] = GSF_OUTFILE(made);
        return GSF_OUTFILE(made);
    }

    fs::path out_;
    GsfOutput* sink_ = nullptr;
    GsfOutfile* root_ = nullptr;
    std::map<std::string, GsfOutfile*> folders_;
};

}  // namespace

// ---- A page --------------------------------------------------------------

struct XlsxPage::State {
    std::shared_ptr<const XlsxTemplate::Impl> t;
    fs::path out, tmp;
    size_t columns = 0;
    int64_t rows = 0, added = 0;
    ZipWriter zip;
    gsf::Ptr<GsfOutput> sheet;
    std::string buffer;
    std::vector<std::string> cellOpen, cellClose;  // around the row number, per column
    std::string rowOpen, rowClose, textClose;
    // The worksheet's pieces go to the zip on a thread of their own, so that
    // deflating overlaps making the next ones.
    Handoff<std::string, 3> queue;
    std::thread deflater;
    std::atomic<bool> deflateFailed = false;
    bool finished = false;

    ~State() {
        stopDeflating();
        if (finished) return;
        if (sheet) gsf_output_close(sheet.get());
        sheet.reset();
        zip.close();
        std::error_code ec;
        fs::remove(tmp, ec);
    }
    void stopDeflating() {
        if (!deflater.joinable()) return;
        queue.finish();
        deflater.join();
    }
    void startDeflating() {
        try {
            deflater = std::thread([this] {
                for (std::string piece; queue.take(piece);)
                    if (!deflateFailed && !ZipWriter::write(sheet.get(), piece))
                        deflateFailed = true;
            });
        } catch (...) {  // no thread to be had: the page is deflated here
        }
    }
    Status flush() {
        if (deflateFailed) return zip.failed();
        if (!deflater.joinable()) {
            bool ok = ZipWriter::write(sheet.get(), buffer);
            buffer.clear();
            return ok ? Status::Ok() : zip.failed();
        }
        std::string next = queue.spare();
        next.clear();
        std::swap(next, buffer);
        queue.put(std::move(next));
        return Status::Ok();
    }
    void prepareCells() {
        const std::string& p = t->prefix;
        rowOpen = "<" + p + "row r=\"";
        rowClose = "</" + p + "row>";
        textClose = "</" + p + "t></" + p + "is></" + p + "c>";
        for (size_t c = 1; c <= columns; ++c) {
            cellOpen.push_back("<" + p + "c r=\"" + columnLetters(c));
            std::string style = c <= t->columnStyles.size() ? t->columnStyles[c - 1] : "";
            cellClose.push_back("\"" + (style.empty() ? "" : " s=\"" + style + "\"") +
                                " t=\"inlineStr\"><" + p + "is><" + p + "t");
        }
    }
    void appendCell(const std::string& open, int64_t row, std::string_view style,
                    std::string_view text) {
        const std::string& p = t->prefix;
        buffer += open;
        appendNumber(buffer, row);
        buffer += "\"";
        if (!style.empty()) buffer.append(" s=\"").append(style).append("\"");
        buffer.append(" t=\"inlineStr\"><").append(p).append("is><").append(p).append("t");
        buffer += needsPreserve(text) ? " xml:space=\"preserve\">" : ">";
        appendCellText(buffer, text);
        buffer += textClose;
    }
    void appendRow(std::span<const std::string> cells, int64_t row) {
        buffer += rowOpen;
        appendNumber(buffer, row);
        buffer += "\">";
        for (size_t c = 0; c < cells.size(); ++c) {
            if (cells[c].empty()) continue;
            buffer += cellOpen[c];
            appendNumber(buffer, row);
            buffer += cellClose[c];
            buffer += needsPreserve(cells[c]) ? " xml:space=\"preserve\">" : ">";
            appendCellText(buffer, cells[c]);
            buffer += textClose;
        }
        buffer += rowClose;
    }
    void appendHeadings(const std::vector<std::string>& headings);
    void appendHead(const std::vector<std::string>& headings);
};

void XlsxPage::State::appendHeadings(const std::vector<std::string>& headings) {
    const std::string& p = t->prefix;
    buffer += t->row1Open.empty() ? "<" + p + "row r=\"1\">" : t->row1Open;
    const auto& kept = t->row1;
    const size_t last = std::max(headings.size(), kept.empty() ? 0 : kept.back().column);
    auto next = kept.begin();
    for (size_t c = 1; c <= last; ++c) {
        while (next != kept.end() && next->column < c) ++next;  // a column given twice: the first
        const Cell* cell = next != kept.end() && next->column == c ? &*next : nullptr;
        if (c <= headings.size() && !headings[c - 1].empty())
            appendCell("<" + p + "c r=\"" + columnLetters(c), 1, cell ? cell->style : "",
                       headings[c - 1]);
        else if (cell)
            buffer += cell->xml;
    }
    buffer += rowClose;
}

void XlsxPage::State::appendHead(const std::vector<std::string>& headings) {
    buffer += t->head;
    if (t->hasDimension) {
        size_t lastColumn = std::max({columns, headings.size(), t->lastColumn, size_t{1}});
        int64_t lastRow = std::max(rows + 1, t->lastRow > 1 ? t->lastRow + rows : 1);
        buffer += "A1";
        if (lastColumn > 1 || lastRow > 1) {
            buffer += ":" + columnLetters(lastColumn);
            appendNumber(buffer, lastRow);
        }
        buffer += t->afterDimension;
    }
    buffer += "<" + t->prefix + "sheetData>";
    appendHeadings(headings);
}

XlsxPage::XlsxPage(std::unique_ptr<State> s) : s_(std::move(s)) {}
XlsxPage::~XlsxPage() = default;

Status XlsxPage::add(std::span<const std::string> cells) {
    State& s = *s_;
    if (s.columns == 0 ? !cells.empty() : cells.size() % s.columns != 0)
        return Error::refused("单元格数不是整行");
    const auto count = static_cast<int64_t>(s.columns ? cells.size() / s.columns : 0);
    if (s.added + count > s.rows) return Error::refused("写入的行数超过了开始时给出的行数");
    for (int64_t r = 0; r < count; ++r) {
        s.appendRow(cells.subspan(static_cast<size_t>(r) * s.columns, s.columns), s.added + 2);
        ++s.added;
        if (s.buffer.size() >= kChunk) TABROVIN_TRY(s.flush());
    }
    return Status::Ok();
}

Status XlsxPage::finish() {
    State& s = *s_;
    if (s.added != s.rows) return Error::refused("写入的行数少于开始时给出的行数");
    TABROVIN_TRY(s.flush());
    s.stopDeflating();
    if (s.deflateFailed) return s.zip.failed();
    TABROVIN_TRY(render(s.t->below, s.rows, s.buffer));
    s.buffer += "</" + s.t->prefix + "sheetData>";
    TABROVIN_TRY(render(s.t->tail, s.rows, s.buffer));
    if (!ZipWriter::write(s.sheet.get(), s.buffer) || !gsf_output_close(s.sheet.get()))
        return s.zip.failed();
    s.sheet.reset();
    for (size_t i = s.t->sheet + 1; i < s.t->parts.size(); ++i)
        TABROVIN_TRY(s.zip.put(s.t->parts[i]));
    if (!s.zip.close()) return s.zip.failed();
    s.finished = true;
    return renameIntoPlace(s.tmp, s.out);
}

// ---- The template ----------------------------------------------------------

Result<XlsxTemplate> XlsxTemplate::load(const fs::path& templatePath) {
    std::error_code ec;
    if (!fs::exists(templatePath, ec)) return Error::fileNotFound(templatePath);
    auto sheetPart = checkedSheetPart(templatePath);
    if (!sheetPart) return sheetPart.error();
    auto parts = readParts(templatePath);
    if (!parts) return parts.error();
    auto impl = std::make_shared<Impl>();
    impl->file = templatePath;
    impl->parts = std::move(*parts);
    dropCalcChain(impl->parts);
    auto sheet = std::find_if(impl->parts.begin(), impl->parts.end(),
                              [&](const Part& p) { return p.name == *sheetPart; });
    if (sheet == impl->parts.end())
        return Error::damagedWorkbook(templatePath, "压缩包中的“" + *sheetPart + "”不存在");
    impl->sheet = static_cast<size_t>(sheet - impl->parts.begin());
    TABROVIN_TRY(parseSheet(sheet->data, *impl));
    sheet->data.clear();
    return XlsxTemplate(std::move(impl));
}

Status XlsxTemplate::checkPageRows(int64_t rows) const {
    if (impl_->lastRow > 1 && impl_->lastRow + rows > kMaxXlsxSheetRows)
        return Error::tooManyRows("模板第 " + std::to_string(impl_->lastRow) +
                                  " 行下移后超出了 .xlsx 工作表的 1048576 行，请减少每页的行数");
    return Status::Ok();
}

Result<std::unique_ptr<XlsxPage>> XlsxTemplate::begin(const fs::path& out,
                                                      const std::vector<std::string>& headings,
                                                      size_t columns, int64_t rows) const {
    if (rows < 0 || rows > kMaxXlsxPageRows)
        return Error::tooManyRows("一页最多 " + std::to_string(kMaxXlsxPageRows) +
                                  " 行，这一页有 " + std::to_string(rows) + " 行");
    if (columns > kMaxXlsxColumns || headings.size() > kMaxXlsxColumns)
        return Error::refused("一个 .xlsx 工作表最多 16384 列");
    TABROVIN_TRY(checkPageRows(rows));
    TABROVIN_TRY(checkDestination(out));
    auto s = std::make_unique<XlsxPage::State>();
    s->t = impl_;
    s->out = out;
    s->tmp = temporaryBeside(out);
    s->columns = columns;
    s->rows = rows;
    TABROVIN_TRY(s->zip.open(s->tmp, out));
    for (size_t i = 0; i < impl_->sheet; ++i) TABROVIN_TRY(s->zip.put(impl_->parts[i]));
    s->sheet.reset(s->zip.part(impl_->parts[impl_->sheet].name));
    if (!s->sheet) return s->zip.failed();
    s->prepareCells();
    s->appendHead(headings);
    if (rows * static_cast<int64_t>(columns) >= kThreadedFromCells) s->startDeflating();
    return std::make_unique<XlsxPage>(std::move(s));
}

Status XlsxTemplate::write(const fs::path& out, const std::vector<std::string>& headings,
                           std::span<const std::string> cells, size_t columns) const {
    if (columns == 0 ? !cells.empty() : cells.size() % columns != 0)
        return Error::refused("单元格数不是整行");
    const auto rows = static_cast<int64_t>(columns ? cells.size() / columns : 0);
    auto page = begin(out, headings, columns, rows);
    if (!page) return page.error();
    TABROVIN_TRY((*page)->add(cells));
    return (*page)->finish();
}

// ---- The blank workbook ----------------------------------------------------

Status writeBlankXlsx(const fs::path& out) {
    static const std::vector<Part> parts = {
        {"[Content_Types].xml",
         R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types"><Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/><Default Extension="xml" ContentType="application/xml"/><Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/><Override PartName="/xl/worksheets/sheet1.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/><Override PartName="/xl/styles.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml"/></Types>)"},
        {"_rels/.rels",
         R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="xl/workbook.xml"/></Relationships>)"},
        {"xl/workbook.xml",
         R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"><sheets><sheet name="Sheet1" sheetId="1" r:id="rId1"/></sheets></workbook>)"},
        {"xl/_rels/workbook.xml.rels",
         R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet1.xml"/><Relationship Id="rId2" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles" Target="styles.xml"/></Relationships>)"},
        {"xl/worksheets/sheet1.xml",
         R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"><dimension ref="A1"/><sheetViews><sheetView workbookViewId="0"/></sheetViews><sheetFormatPr defaultRowHeight="15"/><sheetData/><pageMargins left="0.7" right="0.7" top="0.75" bottom="0.75" header="0.3" footer="0.3"/></worksheet>)"},
        {"xl/styles.xml",
         R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<styleSheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><fonts count="1"><font><sz val="11"/><name val="宋体"/><family val="2"/><charset val="134"/></font></fonts><fills count="2"><fill><patternFill patternType="none"/></fill><fill><patternFill patternType="gray125"/></fill></fills><borders count="1"><border><left/><right/><top/><bottom/><diagonal/></border></borders><cellStyleXfs count="1"><xf numFmtId="0" fontId="0" fillId="0" borderId="0"/></cellStyleXfs><cellXfs count="1"><xf numFmtId="0" fontId="0" fillId="0" borderId="0" xfId="0"/></cellXfs><cellStyles count="1"><cellStyle name="Normal" xfId="0" builtinId="0"/></cellStyles></styleSheet>)"},
    };
    TABROVIN_TRY(checkDestination(out));
    const fs::path tmp = temporaryBeside(out);
    Status written = [&]() -> Status {
        ZipWriter zip;
        TABROVIN_TRY(zip.open(tmp, out));
        for (const auto& p : parts) TABROVIN_TRY(zip.put(p));
        return zip.close() ? Status::Ok() : zip.failed();
    }();
    if (!written.ok()) {
        std::error_code ec;
        fs::remove(tmp, ec);
        return written;
    }
    return renameIntoPlace(tmp, out);
}

}  // namespace tabrovin::sheets
