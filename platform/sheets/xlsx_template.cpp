// Taking an .xlsx template's first worksheet apart: the text before and
// after its rows kept as it is, row 1 kept cell by cell for the headings, and
// every row number below row 1 marked so that it can move below the page.
// The worksheet was parsed whole by the reader first, so it is well formed;
// this only needs to find its tags.

#include "platform/sheets/xlsx_template.h"

#include <algorithm>
#include <charconv>
#include <functional>
#include <optional>

namespace tabrovin::sheets::xlsx_template {
namespace {

struct Tag {
    size_t begin = 0, end = 0;  // "<...>" is [begin, end)
    std::string_view qname, local;
    bool closing = false, empty = false;
};

size_t skipPast(std::string_view xml, size_t from, std::string_view what) {
    size_t at = xml.find(what, from);
    return at == std::string_view::npos ? at : at + what.size();
}

// The next element tag at or after `pos`; comments, processing
// instructions, CDATA and declarations are passed over.
std::optional<Tag> nextTag(std::string_view xml, size_t pos) {
    for (;;) {
        size_t lt = xml.find('<', pos);
        if (lt == std::string_view::npos || lt + 1 >= xml.size()) return std::nullopt;
        std::string_view rest = xml.substr(lt);
        if (rest.starts_with("<!--") || rest.starts_with("<![CDATA[") || rest[1] == '?' ||
            rest[1] == '!') {
            std::string_view close = rest.starts_with("<!--")        ? "-->"
                                     : rest.starts_with("<![CDATA[") ? "]]>"
                                     : rest[1] == '?'                ? "?>"
                                                                     : ">";
            pos = skipPast(xml, lt + 2, close);
            if (pos == std::string_view::npos) return std::nullopt;
            continue;
        }
        Tag t;
        t.begin = lt;
        t.closing = rest[1] == '/';
        size_t i = lt + 1 + (t.closing ? 1 : 0), nameEnd = i;
        while (nameEnd < xml.size() &&
               std::string_view(" \t\r\n/>").find(xml[nameEnd]) == std::string_view::npos)
            ++nameEnd;
        t.qname = xml.substr(i, nameEnd - i);
        size_t colon = t.qname.find(':');
        t.local = colon == std::string_view::npos ? t.qname : t.qname.substr(colon + 1);
        char quote = 0;
        size_t j = nameEnd;
        for (; j < xml.size(); ++j) {
            char c = xml[j];
            if (quote) {
                if (c == quote) quote = 0;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '>') {
                break;
            }
        }
        if (j >= xml.size()) return std::nullopt;
        t.end = j + 1;
        t.empty = xml[j - 1] == '/';
        return t;
    }
}

// Where the value of attribute `name` of `t` lies in `xml`.
std::optional<std::pair<size_t, size_t>> attributeSpan(std::string_view xml, const Tag& t,
                                                       std::string_view name) {
    size_t i = t.begin + 1 + t.qname.size();
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (i < t.end) {
        while (i < t.end && blank(xml[i])) ++i;
        size_t nameStart = i;
        while (i < t.end && xml[i] != '=' && !blank(xml[i]) && xml[i] != '>' && xml[i] != '/') ++i;
        std::string_view attr = xml.substr(nameStart, i - nameStart);
        while (i < t.end && (blank(xml[i]) || xml[i] == '=')) ++i;
        if (i >= t.end || (xml[i] != '"' && xml[i] != '\'')) return std::nullopt;
        size_t close = xml.find(xml[i], i + 1);
        if (close == std::string_view::npos || close >= t.end) return std::nullopt;
        if (attr == name) return std::pair(i + 1, close);
        i = close + 1;
    }
    return std::nullopt;
}

std::string_view attribute(std::string_view xml, const Tag& t, std::string_view name) {
    auto span = attributeSpan(xml, t, name);
    return span ? xml.substr(span->first, span->second - span->first) : std::string_view();
}

// The end of the element that `start` opens: past its closing tag.
std::optional<size_t> elementEnd(std::string_view xml, const Tag& start) {
    if (start.empty) return start.end;
    int depth = 1;
    size_t pos = start.end;
    for (auto t = nextTag(xml, pos); t; t = nextTag(xml, pos)) {
        pos = t->end;
        if (t->closing)
            --depth;
        else if (!t->empty)
            ++depth;
        if (depth == 0) return t->end;
    }
    return std::nullopt;
}

int64_t parseNumber(std::string_view digits) {
    int64_t v = 0;
    auto [p, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), v);
    return ec == std::errc() && p == digits.data() + digits.size() ? v : 0;
}

// A cell reference "$B$12" as its column (0 when none) and row (0 when none).
struct Reference {
    size_t column = 0;
    int64_t row = 0;
    size_t rowAt = 0;  // where the row's digits start
    bool valid = false;
};
Reference parseReference(std::string_view ref) {
    Reference r;
    size_t i = ref.starts_with('$') ? 1 : 0;
    for (; i < ref.size() && ref[i] >= 'A' && ref[i] <= 'Z'; ++i)
        r.column = r.column * 26 + static_cast<size_t>(ref[i] - 'A' + 1);
    if (r.column > kMaxXlsxColumns) return r;
    if (i < ref.size() && ref[i] == '$') ++i;
    r.rowAt = i;
    if (i < ref.size()) r.row = parseNumber(ref.substr(i));
    r.valid = (r.column > 0 || r.row > 0) && (i == ref.size() || r.row > 0);
    return r;
}

class ShiftWriter {
  public:
    explicit ShiftWriter(Shiftable& out) : out_(out) {}
    void text(std::string_view s) {
        if (out_.empty() || out_.back().row != 0) out_.emplace_back();
        out_.back().text.append(s);
    }
    // A row number; one below row 1 moves.
    void row(int64_t r, bool end) {
        if (r < 2) return text(std::to_string(r));
        out_.push_back({"", r, end});
    }
    // A list of references and ranges ("A1:B5 D7"); what is not one is kept.
    void references(std::string_view refs) {
        for (size_t i = 0; i <= refs.size();) {
            size_t space = std::min(refs.find(' ', i), refs.size());
            std::string_view token = refs.substr(i, space - i);
            size_t colon = token.find(':');
            if (colon == std::string_view::npos) {
                reference(token, false);
            } else {
                reference(token.substr(0, colon), false);
                text(":");
                reference(token.substr(colon + 1), true);
            }
            if (space < refs.size()) text(" ");
            i = space + 1;
        }
    }
    void reference(std::string_view ref, bool end) {
        Reference r = parseReference(ref);
        if (!r.valid || r.row == 0) return text(ref);
        text(ref.substr(0, r.rowAt));
        row(r.row, end);
    }

  private:
    Shiftable& out_;
};

// Copies the tag `t`, its attribute `name` given as `value` (added when missing).
void copyTagWith(std::string_view xml, const Tag& t, std::string_view name,
                 const std::function<void(ShiftWriter&, std::string_view)>& value, ShiftWriter& w) {
    auto span = attributeSpan(xml, t, name);
    if (span) {
        w.text(xml.substr(t.begin, span->first - t.begin));
        value(w, xml.substr(span->first, span->second - span->first));
        w.text(xml.substr(span->second, t.end - span->second));
        return;
    }
    size_t nameEnd = t.begin + 1 + t.qname.size();
    w.text(xml.substr(t.begin, nameEnd - t.begin));
    w.text(" " + std::string(name) + "=\"");
    value(w, {});
    w.text("\"");
    w.text(xml.substr(nameEnd, t.end - nameEnd));
}

// Row `number` below row 1, [begin, end) in `xml`, into `t.below`.
void moveRow(std::string_view xml, const Tag& rowTag, size_t end, int64_t number,
             XlsxTemplate::Impl& t) {
    ShiftWriter w(t.below);
    copyTagWith(
        xml, rowTag, "r", [&](ShiftWriter& to, std::string_view) { to.row(number, false); }, w);
    size_t column = 0;
    size_t pos = rowTag.end;
    for (auto tag = nextTag(xml, pos); tag && tag->begin < end; tag = nextTag(xml, pos)) {
        w.text(xml.substr(pos, tag->begin - pos));
        pos = tag->end;
        if (!tag->closing && tag->local == "c") {
            Reference r = parseReference(attribute(xml, *tag, "r"));
            column = r.valid && r.column ? r.column : column + 1;
            t.lastColumn = std::max(t.lastColumn, column);
            copyTagWith(
                xml, *tag, "r",
                [&](ShiftWriter& to, std::string_view) {
                    to.text(columnLetters(column));
                    to.row(number, false);
                },
                w);
        } else if (!tag->closing && tag->local == "f" && attributeSpan(xml, *tag, "ref")) {
            copyTagWith(
                xml, *tag, "ref",
                [](ShiftWriter& to, std::string_view refs) { to.references(refs); }, w);
        } else {
            w.text(xml.substr(tag->begin, tag->end - tag->begin));
        }
    }
    w.text(xml.substr(pos, end - pos));
    t.lastRow = std::max(t.lastRow, number);
}

// Row 1's cells, kept one by one so the headings can go between them.
void keepRow1(std::string_view xml, const Tag& rowTag, size_t end, XlsxTemplate::Impl& t) {
    std::string open(xml.substr(rowTag.begin, rowTag.end - rowTag.begin));
    // Its span of columns is only a hint, and the headings may widen it.
    if (auto spans = attributeSpan(xml, rowTag, "spans")) {
        size_t from = xml.rfind(' ', spans->first) - rowTag.begin;
        open.erase(from, spans->second + 1 - rowTag.begin - from);
    }
    if (rowTag.empty) open.erase(open.rfind('/'), 1);
    t.row1Open = open;
    size_t column = 0;
    for (size_t pos = rowTag.end; auto tag = nextTag(xml, pos);) {
        if (tag->begin >= end || tag->closing) break;
        auto cellEnd = elementEnd(xml, *tag).value_or(end);
        if (tag->local == "c") {
            Reference r = parseReference(attribute(xml, *tag, "r"));
            column = r.valid && r.column ? r.column : column + 1;
            t.lastColumn = std::max(t.lastColumn, column);
            t.row1.push_back({column, std::string(xml.substr(tag->begin, cellEnd - tag->begin)),
                              std::string(attribute(xml, *tag, "s"))});
        }
        pos = cellEnd;
    }
}

// The head: the column styles and where the dimension's range lies.
Tag readHead(std::string_view xml, const Tag& sheetData, XlsxTemplate::Impl& t) {
    Tag dimension;
    size_t pos = 0;
    for (auto tag = nextTag(xml, pos); tag; tag = nextTag(xml, pos)) {
        pos = tag->end;
        if (tag->begin >= sheetData.begin) break;
        if (tag->closing) continue;
        if (tag->local == "dimension") dimension = *tag;
        if (tag->local != "col") continue;
        std::string_view style = attribute(xml, *tag, "style");
        int64_t first = parseNumber(attribute(xml, *tag, "min"));
        int64_t last = std::min<int64_t>(parseNumber(attribute(xml, *tag, "max")),
                                         static_cast<int64_t>(kMaxXlsxColumns));
        if (style.empty() || style == "0" || first < 1) continue;
        if (t.columnStyles.size() < static_cast<size_t>(last)) t.columnStyles.resize(last);
        for (int64_t c = first; c <= last; ++c) t.columnStyles[c - 1] = style;
    }
    return dimension;
}

void splitHead(std::string_view xml, const Tag& dimension, const Tag& sheetData,
               XlsxTemplate::Impl& t) {
    auto range = dimension.end ? attributeSpan(xml, dimension, "ref") : std::nullopt;
    t.hasDimension = range.has_value();
    if (range) {
        t.head = xml.substr(0, range->first);
        t.afterDimension = xml.substr(range->second, sheetData.begin - range->second);
    } else {
        t.head = xml.substr(0, sheetData.begin);
    }
}

void shiftTail(std::string_view xml, size_t from, XlsxTemplate::Impl& t) {
    ShiftWriter w(t.tail);
    size_t pos = from;
    for (auto tag = nextTag(xml, pos); tag; tag = nextTag(xml, pos)) {
        w.text(xml.substr(pos, tag->begin - pos));
        pos = tag->end;
        std::string_view name = attributeSpan(xml, *tag, "sqref") ? "sqref" : "ref";
        if (tag->closing || !attributeSpan(xml, *tag, name)) {
            w.text(xml.substr(tag->begin, tag->end - tag->begin));
            continue;
        }
        copyTagWith(
            xml, *tag, name, [](ShiftWriter& to, std::string_view refs) { to.references(refs); },
            w);
    }
    w.text(xml.substr(pos));
}

}  // namespace

std::string columnLetters(size_t column) {
    std::string s;
    for (; column > 0; column = (column - 1) / 26)
        s.insert(s.begin(), static_cast<char>('A' + (column - 1) % 26));
    return s;
}

Status render(const Shiftable& s, int64_t shift, std::string& out) {
    for (const auto& p : s) {
        out += p.text;
        if (p.row == 0) continue;
        int64_t row = p.row + shift;
        if (row > kMaxXlsxSheetRows) {
            if (!p.end)
                return Error::tooManyRows("模板第 " + std::to_string(p.row) +
                                          " 行下移后超出了 .xlsx 工作表的 1048576 行");
            row = kMaxXlsxSheetRows;
        }
        out += std::to_string(row);
    }
    return Status::Ok();
}

Status parseSheet(std::string_view xml, XlsxTemplate::Impl& t) {
    std::optional<Tag> sheetData;
    for (size_t pos = 0; (sheetData = nextTag(xml, pos)); pos = sheetData->end)
        if (!sheetData->closing && sheetData->local == "sheetData") break;
    if (!sheetData) return Error::damagedWorkbook(t.file, "第一个工作表中没有 sheetData");
    t.prefix = sheetData->qname.substr(0, sheetData->qname.size() - sheetData->local.size());
    splitHead(xml, readHead(xml, *sheetData, t), *sheetData, t);
    size_t pos = sheetData->end;
    int64_t number = 0;
    if (!sheetData->empty) {
        for (auto tag = nextTag(xml, pos);; tag = nextTag(xml, pos)) {
            if (!tag) return Error::damagedWorkbook(t.file, "第一个工作表的 sheetData 没有结束");
            if (tag->closing) {
                pos = tag->end;
                break;
            }
            auto end = elementEnd(xml, *tag);
            if (!end) return Error::damagedWorkbook(t.file, "第一个工作表的行没有结束");
            if (tag->local == "row") {
                int64_t r = parseNumber(attribute(xml, *tag, "r"));
                number = r > 0 ? r : number + 1;
                if (number == 1)
                    keepRow1(xml, *tag, *end, t);
                else
                    moveRow(xml, *tag, *end, number, t);
            }
            pos = *end;
        }
    }
    shiftTail(xml, pos, t);
    std::stable_sort(t.row1.begin(), t.row1.end(),
                     [](const Cell& a, const Cell& b) { return a.column < b.column; });
    return Status::Ok();
}

}  // namespace tabrovin::sheets::xlsx_template
