#include "platform/sheets/size_scan.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/sheets/cell_address.h"
#include "platform/sheets/limits.h"
#include "platform/sheets/xml_stream.h"

namespace tabrovin::sheets {
namespace {

constexpr std::string_view kMainNs = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
constexpr std::string_view kStrictMainNs = "http://purl.oclc.org/ooxml/spreadsheetml/main";

// A construct cut by a chunk's end may grow to this before the scan gives
// up: well below the full parse's limit on a tag, so that the full parse
// never refuses a tag the scan accepted.
constexpr size_t kMaxCarry = kMaxXmlTag / 2;
// Far below the full parse's limits, and far above what writers produce.
constexpr size_t kMaxOpen = 256;
constexpr size_t kMaxAttributes = 256;
constexpr size_t kMaxPrefixes = 256;
// A value kept for the cells longer than this, written, is left to the
// full parse; a cell's longest text fully escaped stays below it.
constexpr size_t kMaxValueBytes = 16 * kMaxCellCharacters;

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Bytes of the names the scan accepts: ASCII letters, digits, "_-." and
// every byte of a non-ASCII UTF-8 character (1), and the colon (2).
constexpr std::array<uint8_t, 256> kNameBytes = [] {
    std::array<uint8_t, 256> t{};
    for (int c = 0; c < 256; ++c)
        t[c] = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '_' || c == '-' || c == '.' || c >= 0x80;
    t[':'] = 2;
    return t;
}();

const char* nameEnd(const char* p, const char* e) {
    while (p < e && kNameBytes[static_cast<unsigned char>(*p)]) ++p;
    return p;
}

// The qualified name from `p` (its end returned) as prefix and local name;
// `ok` false unless it holds at most one colon, between two non-empty parts
// (the full parse reads other shapes its own way).
const char* qualifiedName(const char* p, const char* e, std::string_view& prefix,
                          std::string_view& local, bool& ok) {
    const char* begin = p;
    const char* colon = nullptr;
    int colons = 0;
    for (uint8_t kind; p < e && (kind = kNameBytes[static_cast<unsigned char>(*p)]); ++p) {
        if (kind == 2 && colons++ == 0) colon = p;
    }
    const char* from = colon ? colon + 1 : begin;
    prefix = std::string_view(begin, static_cast<size_t>(colon ? colon - begin : 0));
    local = std::string_view(from, static_cast<size_t>(p - from));
    ok = colons <= 1 && !local.empty() && colon != begin;
    return p;
}

// `s` equals the literal `lit`; compared inline, as the tags' names are.
template <size_t N>
bool is(std::string_view s, const char (&lit)[N]) {
    return s.size() == N - 1 && std::memcmp(s.data(), lit, N - 1) == 0;
}

// [p, e) starts with the literal `lit`; compared inline, as the tags are.
template <size_t N>
bool startsWith(const char* p, const char* e, const char (&lit)[N]) {
    return static_cast<size_t>(e - p) >= N - 1 && std::memcmp(p, lit, N - 1) == 0;
}

int digitValue(char d, bool hex) {
    if (d >= '0' && d <= '9') return d - '0';
    if (hex && d >= 'a' && d <= 'f') return d - 'a' + 10;
    if (hex && d >= 'A' && d <= 'F') return d - 'A' + 10;
    return -1;
}

enum class Ref { Ok, Cut, Bad };

// The reference at `amp` ('&'), with `after` past its ';': Ok for the forms
// the full parse surely resolves (the five named ones, "&#N;", "&#xH;"),
// Cut when the bytes end at `e` before it can end, else Bad.
Ref reference(const char* amp, const char* e, const char*& after, char32_t& decoded) {
    // The full parse looks for the ';' at most 12 bytes on.
    const size_t window = std::min<size_t>(static_cast<size_t>(e - amp), 13);
    const void* semi = std::memchr(amp + 1, ';', window - 1);
    if (!semi) return window < 13 ? Ref::Cut : Ref::Bad;
    after = static_cast<const char*>(semi) + 1;
    std::string_view name(amp + 1, static_cast<size_t>(after - amp - 2));
    static constexpr std::pair<std::string_view, char> kNamed[] = {
        {"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"quot", '"'}, {"apos", '\''}};
    for (const auto& [named, c] : kNamed)
        if (name == named) return decoded = static_cast<char32_t>(c), Ref::Ok;
    if (name.size() < 2 || name[0] != '#') return Ref::Bad;
    const bool hex = name[1] == 'x';
    std::string_view digits = name.substr(hex ? 2 : 1);
    if (digits.empty()) return Ref::Bad;
    uint64_t c = 0;
    for (char d : digits) {
        int v = digitValue(d, hex);
        if (v < 0) return Ref::Bad;
        c = c * (hex ? 16 : 10) + static_cast<uint64_t>(v);
    }
    decoded = static_cast<char32_t>(c);
    return c >= 1 && c <= 0x10FFFF ? Ref::Ok : Ref::Bad;
}

Ref reference(const char* amp, const char* e, const char*& after) {
    char32_t decoded = 0;
    return reference(amp, e, after, decoded);
}

// Whether every '&' of the whole text `v` starts a reference of the forms above.
bool referencesValid(std::string_view v) {
    const char* p = v.data();
    const char* e = p + v.size();
    while (const void* amp = std::memchr(p, '&', static_cast<size_t>(e - p))) {
        if (reference(static_cast<const char*>(amp), e, p) != Ref::Ok) return false;
    }
    return true;
}

}  // namespace

SheetSizeScan::SheetSizeScan(std::span<const size_t> stringEnds, ScannedCells* cells)
    : stringEnds_(stringEnds), cells_(cells) {}

std::optional<SheetSize> SheetSizeScan::size() const {
    if (at_ != At::Done) return std::nullopt;
    return size_;
}

bool SheetSizeScan::feed(std::string_view chunk) {
    if (settled()) return false;
    size_t at = carry_.empty() ? 0 : carried(chunk);
    if (!settled() && carry_.empty() && at < chunk.size()) {
        at += scan(chunk.data() + at, chunk.data() + chunk.size());
        if (!settled() && at < chunk.size()) carry_.assign(chunk.substr(at));
    }
    if (carry_.size() > kMaxCarry) unknown();
    return !settled();
}

// Completes the construct carried over from the chunks before with the
// start of `chunk`, taking twice as much of it each time that is not
// enough; returns how many bytes of `chunk` are used up.
size_t SheetSizeScan::carried(std::string_view chunk) {
    const size_t old = carry_.size();
    for (size_t take = std::min<size_t>(chunk.size(), 256);;
         take = std::min(chunk.size(), take * 2)) {
        carry_.resize(old);
        carry_.append(chunk.substr(0, take));
        size_t used = scan(carry_.data(), carry_.data() + carry_.size());
        if (settled()) return chunk.size();
        if (used >= old) {
            carry_.clear();
            return used - old;
        }
        if (used > 0) {  // a construct that ended before the cut one began: never expected
            unknown();
            return chunk.size();
        }
        if (take == chunk.size()) return chunk.size();  // still cut: all of it is carried
    }
}

// Reads the complete constructs of [b, e); returns where the first one that
// `e` cuts starts (e - b when none is cut).
size_t SheetSizeScan::scan(const char* b, const char* e) {
    const char* p = b;
    if (at_ == At::Start && !(p = start(p, e))) return 0;
    while (p < e && !settled()) {
        const char* lt =
            *p == '<' ? p
                      : static_cast<const char*>(std::memchr(p, '<', static_cast<size_t>(e - p)));
        if (!lt) {
            const char* cut = text(p, e, true);
            return static_cast<size_t>((settled() ? e : cut) - b);
        }
        if (p < lt) text(p, lt, false);
        if (settled()) break;
        const char* next = markup(lt, e);
        if (!next) return static_cast<size_t>(lt - b);
        p = next;
    }
    return static_cast<size_t>((settled() ? e : p) - b);
}

// Skips a UTF-8 byte order mark; nullptr while the bytes may still be one.
const char* SheetSizeScan::start(const char* p, const char* e) {
    const size_t n = std::min<size_t>(static_cast<size_t>(e - p), 3);
    if (std::memcmp(p, "\xEF\xBB\xBF", n) == 0) {
        if (n < 3) return nullptr;
        p += 3;
    }
    at_ = At::Prolog;
    return p;
}

// Text up to `e`, a '<' or (`more` true) the end of the bytes read so far;
// returns where a reference cut by that end starts, else `e`.
const char* SheetSizeScan::text(const char* p, const char* e, bool more) {
    if (at_ == At::Value || at_ == At::InlineText) return value(p, e, more);
    if (at_ == At::Prolog) {
        if (!std::all_of(p, e, isSpace)) unknown();
        return e;
    }
    // Text between the elements is not read, but the full parse refuses
    // references it cannot resolve.
    while (const void* found = std::memchr(p, '&', static_cast<size_t>(e - p))) {
        const char* amp = static_cast<const char*>(found);
        Ref r = reference(amp, e, p);
        if (r == Ref::Cut && more) return amp;
        if (r != Ref::Ok) {
            unknown();
            return e;
        }
    }
    return e;
}

// Text of a value: for a shared string its index, for the types the full
// parse shows as written whether it is empty, for text whether it shows
// anything once decoded; for the cells, the text itself. Returns where a
// reference cut by `e` starts, else `e`.
const char* SheetSizeScan::value(const char* p, const char* e, bool more) {
    if (cells_) {
        // Kept as written, a reference cut by `e` too: the whole value is
        // decoded as the full parse decodes it once it ended.
        value_.append(p, static_cast<size_t>(e - p));
        if (value_.size() > kMaxValueBytes) unknown();
        return e;
    }
    return shownAsText() ? shownText(p, e, more) : plainValue(p, e);
}

const char* SheetSizeScan::plainValue(const char* p, const char* e) {
    valueBytes_ += static_cast<size_t>(e - p);
    if (type_ != Type::Shared) {
        if (std::find(p, e, '&') != e) unknown();
        return e;
    }
    for (; p < e; ++p) {
        if (*p < '0' || *p > '9') return unknown(), e;
        index_ = index_ * 10 + (*p - '0');
        if (index_ > INT32_MAX) return unknown(), e;
    }
    return e;
}

// Text that the full parse strips of NULs and, but for errors, of the
// escapes "_x0000_" that stand for them: it shows something from the first
// character that is neither.
const char* SheetSizeScan::shownText(const char* p, const char* e, bool more) {
    while (p < e && !shown_ && !settled()) {
        if (*p != '&') {
            step(*p++);
            ++valueBytes_;
            continue;
        }
        const char* after = nullptr;
        char32_t c = 0;
        Ref r = reference(p, e, after, c);
        if (r == Ref::Cut && more) return p;
        if (r != Ref::Ok) return unknown(), e;
        step(c < 0x80 ? static_cast<char>(c) : '#');  // beyond ASCII: shows
        valueBytes_ += static_cast<size_t>(after - p);
        p = after;
    }
    // What follows is only checked for references the full parse refuses.
    while (p < e && !settled()) {
        const char* amp = std::find(p, e, '&');  // mostly a few bytes
        if (amp == e) return e;
        Ref r = reference(amp, e, p);
        if (r == Ref::Cut && more) return amp;
        if (r != Ref::Ok) unknown();
    }
    return e;
}

// One character of text that has not shown yet.
void SheetSizeScan::step(char c) {
    static constexpr std::string_view kNulEscape = "_x0000_";
    if (c == '\0' && escape_ == 0) return;
    if ((type_ == Type::Text || type_ == Type::Inline) && c == kNulEscape[escape_])
        escape_ = (escape_ + 1) % kNulEscape.size();
    else
        show();
}

// The text shows from here on; unless it shows within the bytes the full
// parse keeps of a cell, which it could then cut to nothing.
void SheetSizeScan::show() {
    if (valueBytes_ > kMaxCellCharacters) return unknown();
    shown_ = true;
}

// The markup at `lt`, past which it returns; nullptr when `e` cuts it.
const char* SheetSizeScan::markup(const char* lt, const char* e) {
    if (e - lt < 2) return nullptr;
    if (lt[1] == '?' || lt[1] == '!') {
        // Comments and processing instructions only outside the sheet data.
        if (at_ != At::Prolog && at_ != At::Top) return unknown(), e;
        if (lt[1] == '?') return skipped(lt + 2, e, "?>");
        if (e - lt < 4) return nullptr;
        if (std::memcmp(lt, "<!--", 4) != 0) return unknown(), e;  // CDATA, DOCTYPE
        return skipped(lt + 4, e, "-->");
    }
    if (lt[1] == '/') return endTag(lt, e);
    if (at_ == At::Row && lt[1] == 'c')
        if (const char* end = quickCell(lt, e)) return end;
    if (at_ == At::Cell)
        if (const char* end = quickValue(lt, e)) return end;
    Tag tag;
    Parse r = startTag(lt, e, tag);
    if (r == Parse::More) return nullptr;
    if (r == Parse::Bad) return unknown(), e;
    element(tag);
    return tag.end;
}

const char* SheetSizeScan::skipped(const char* from, const char* e, std::string_view close) {
    std::string_view rest(from, static_cast<size_t>(e - from));
    size_t end = rest.find(close);
    return end == std::string_view::npos ? nullptr : from + end + close.size();
}

// The start tag at `lt`, its attributes into attrs_.
SheetSizeScan::Parse SheetSizeScan::startTag(const char* lt, const char* e, Tag& tag) {
    bool ok = false;
    const char* p = qualifiedName(lt + 1, e, tag.prefix, tag.local, ok);
    if (p == e) return Parse::More;
    if (!ok) return Parse::Bad;
    tag.qname = std::string_view(lt + 1, static_cast<size_t>(p - lt - 1));
    attrs_.clear();
    while (true) {
        const char* before = p;
        while (p < e && isSpace(*p)) ++p;
        if (p == e) return Parse::More;
        if (*p == '>' || *p == '/') {
            if (*p == '/' && p + 1 == e) return Parse::More;
            if (*p == '/' && p[1] != '>') return Parse::Bad;
            tag.empty = *p == '/';
            tag.end = p + (tag.empty ? 2 : 1);
            return Parse::Ok;
        }
        if (p == before || attrs_.size() >= kMaxAttributes) return Parse::Bad;
        if (Parse r = attribute(p, e); r != Parse::Ok) return r;
    }
}

// The start tag of a cell at `lt` in the shape writers give it: attributes
// of lowercase names in double quotes, one space apart, without references.
// nullptr for any other shape, or when `e` cuts it, for startTag to read.
const char* SheetSizeScan::quickCell(const char* lt, const char* e) {
    std::string_view ref, t, s;
    bool hasRef = false, hasType = false, hasStyle = false;
    const char* p = lt + 2;
    while (p < e && *p == ' ') {
        const char* name = ++p;
        while (p < e && *p >= 'a' && *p <= 'z') ++p;
        const size_t length = static_cast<size_t>(p - name);
        if (e - p < 2 || p[0] != '=' || p[1] != '"' || length == 0 || is({name, length}, "xmlns"))
            return nullptr;
        const char* value = p += 2;
        while (p < e && *p != '"' && *p != '&') ++p;
        if (p == e || *p != '"') return nullptr;
        const std::string_view v(value, static_cast<size_t>(p++ - value));
        if (length == 1 && *name == 'r' && !hasRef) ref = v, hasRef = true;
        if (length == 1 && *name == 't' && !hasType) t = v, hasType = true;
        if (length == 1 && *name == 's' && !hasStyle) s = v, hasStyle = true;
    }
    const bool empty = p < e && *p == '/';
    if (p + empty >= e || p[empty] != '>') return nullptr;
    cell(ref, t, s, empty);
    return p + empty + 1;
}

// A cell's value in the shape writers give it, "<v>text</v>" or
// "<is><t>text</t></is>" without attributes, read at once; nullptr for any
// other shape, or when `e` cuts it, for startTag to read.
const char* SheetSizeScan::quickValue(const char* lt, const char* e) {
    const bool inlined = type_ == Type::Inline;
    if (hasValue_ || !(inlined ? startsWith(lt, e, "<is><t>") : startsWith(lt, e, "<v>")))
        return nullptr;
    const char* text = lt + (inlined ? 7 : 3);
    // Values are a few bytes long: a plain loop beats a call to memchr.
    const char* end = text;
    while (end < e && *end != '<') ++end;
    if (!(inlined ? startsWith(end, e, "</t></is>") : startsWith(end, e, "</v>"))) return nullptr;
    hasValue_ = true;
    at_ = inlined ? At::InlineText : At::Value;
    value(text, end, false);
    if (settled()) return e;
    at_ = At::Cell;
    return end + (inlined ? 9 : 4);
}

// One attribute from `p`, which it moves past it.
SheetSizeScan::Parse SheetSizeScan::attribute(const char*& p, const char* e) {
    Attr a;
    bool ok = false;
    p = qualifiedName(p, e, a.prefix, a.local, ok);
    if (p < e && !ok) return Parse::Bad;
    while (p < e && isSpace(*p)) ++p;
    if (p < e && *p++ != '=') return Parse::Bad;
    while (p < e && isSpace(*p)) ++p;
    if (p == e) return Parse::More;
    const char quote = *p;
    if (quote != '"' && quote != '\'') return Parse::Bad;
    const char* close = ++p;
    bool amp = false;
    for (; close < e && *close != quote; ++close) amp |= *close == '&';
    if (close == e) return Parse::More;
    a.value = std::string_view(p, static_cast<size_t>(close - p));
    if (amp && !referencesValid(a.value)) return Parse::Bad;
    attrs_.push_back(a);
    p = close + 1;
    return Parse::Ok;
}

const char* SheetSizeScan::endTag(const char* lt, const char* e) {
    // Every cell ends so: the one end tag met as often as all others.
    if (at_ == At::Cell && e - lt >= 4 && std::memcmp(lt, "</c>", 4) == 0) {
        at_ = At::Row;
        finishCell();
        return lt + 4;
    }
    const char* name = lt + 2;
    const char* p = nameEnd(name, e);
    const std::string_view qname(name, static_cast<size_t>(p - name));
    while (p < e && isSpace(*p)) ++p;
    if (p == e) return nullptr;
    if (*p != '>') return unknown(), e;
    close(qname);
    return p + 1;
}

void SheetSizeScan::element(const Tag& tag) {
    switch (at_) {
        case At::Prolog:
            return rootElement(tag);
        case At::Top:
            return topElement(tag);
        case At::Data:
            if (!is(tag.qname, "row") || !plainAttributes()) return unknown();
            row();
            if (!settled() && !tag.empty) at_ = At::Row;
            return;
        case At::Row:
            if (!is(tag.qname, "c") || !plainAttributes()) return unknown();
            return cell(first('r'), first('t'), first('s'), tag.empty);
        case At::Cell:
            if (!plainAttributes()) return unknown();
            if (is(tag.qname, "v") || is(tag.qname, "is")) {
                // A second value would add to the first; an inline string's
                // <v> is stale, and <is> belongs to inline strings only.
                if (hasValue_ || is(tag.qname, "is") != (type_ == Type::Inline)) return unknown();
                hasValue_ = true;
                if (!tag.empty) at_ = is(tag.qname, "v") ? At::Value : At::Inline;
            } else if (is(tag.qname, "f")) {
                if (!tag.empty) at_ = At::Formula;
            } else {
                unknown();  // inline strings and whatever else
            }
            return;
        case At::Inline:
            // Runs of rich text and phonetic runs are not followed.
            if (!is(tag.qname, "t") || !plainAttributes()) return unknown();
            if (!tag.empty) at_ = At::InlineText;
            return;
        default:
            return unknown();
    }
}

// The root: a worksheet whose default namespace is one the full parse
// takes for the spreadsheet vocabulary, or none.
void SheetSizeScan::rootElement(const Tag& tag) {
    if (!tag.prefix.empty() || tag.local != "worksheet" || tag.empty || !declare(1))
        return unknown();
    names_.assign(tag.qname);
    nameEnds_.assign(1, names_.size());
    at_ = At::Top;
}

// An element before the sheet data: skipped, but followed so that its end
// tag, its prefixes and where the sheet data starts are known.
void SheetSizeScan::topElement(const Tag& tag) {
    const size_t depth = nameEnds_.size() + 1;
    if (tag.local == "sheetData") {
        if (depth != 2 || !tag.prefix.empty() || !plainAttributes()) return unknown();
        at_ = tag.empty ? At::Done : At::Data;
        return;
    }
    if (depth > kMaxOpen || !declare(depth) || (!tag.prefix.empty() && !bound(tag.prefix)))
        return unknown();
    if (tag.empty) return dropPrefixes(depth);
    names_ += tag.qname;
    nameEnds_.push_back(names_.size());
}

// Takes the namespace declarations of the tag just read, at `depth`: false
// for those the scan does not follow (a default namespace below the root,
// a prefix bound to nothing) or an attribute whose prefix is unbound.
bool SheetSizeScan::declare(size_t depth) {
    for (const Attr& a : attrs_) {
        if (a.prefix == "xmlns") {
            if (a.value.empty() || a.value.find('&') != std::string_view::npos ||
                prefixes_.size() >= kMaxPrefixes)
                return false;
            prefixes_.emplace_back(depth, std::string(a.local));
        } else if (a.prefix.empty() && a.local == "xmlns") {
            if (depth != 1 || (a.value != kMainNs && a.value != kStrictMainNs && !a.value.empty()))
                return false;
        }
    }
    for (const Attr& a : attrs_)
        if (!a.prefix.empty() && a.prefix != "xmlns" && !bound(a.prefix)) return false;
    return true;
}

void SheetSizeScan::dropPrefixes(size_t depth) {
    while (!prefixes_.empty() && prefixes_.back().first >= depth) prefixes_.pop_back();
}

bool SheetSizeScan::bound(std::string_view prefix) const {
    return prefix == "xml" || std::any_of(prefixes_.begin(), prefixes_.end(),
                                          [&](const auto& p) { return p.second == prefix; });
}

// Inside the sheet data: no namespace declarations, prefixes all bound.
bool SheetSizeScan::plainAttributes() const {
    return std::all_of(attrs_.begin(), attrs_.end(), [&](const Attr& a) {
        if (a.prefix.empty()) return !is(a.local, "xmlns");
        return !is(a.prefix, "xmlns") && bound(a.prefix);
    });
}

// The value of the first unprefixed attribute `local`, as the full parse takes it.
std::string_view SheetSizeScan::first(char local) const {
    for (const Attr& a : attrs_)
        if (a.prefix.empty() && a.local.size() == 1 && a.local[0] == local) return a.value;
    return {};
}

// A row numbered as every writer numbers it; rows without a number (or
// numbered 0) follow the one before in the full parse, which is left to it.
void SheetSizeScan::row() {
    int32_t row = parsePositive(first('r'), kMaxRows);
    if (row == 0) return unknown();
    row_ = row;
    if (cells_ && !cells_->row(row)) at_ = At::Done;
}

// A cell at `ref` of type `t` and style `s`.
void SheetSizeScan::cell(std::string_view ref, std::string_view t, std::string_view s, bool empty) {
    int32_t row = 0, column = 0;
    // A few bytes each: a plain search beats a call to memchr.
    auto hasReference = [](std::string_view v) {
        return std::find(v.begin(), v.end(), '&') != v.end();
    };
    if (ref.empty() || !parseCellReference(ref, row, column) || hasReference(t) || hasReference(s))
        return unknown();
    column_ = column;
    type_ = is(t, "s")           ? Type::Shared
            : is(t, "str")       ? Type::Text
            : is(t, "b")         ? Type::Boolean
            : is(t, "e")         ? Type::Error
            : is(t, "d")         ? Type::Date
            : is(t, "inlineStr") ? Type::Inline
                                 : Type::Number;
    hasValue_ = shown_ = false;
    valueBytes_ = 0;
    escape_ = 0;
    index_ = 0;
    if (cells_) {
        style_.assign(s);
        value_.clear();
    }
    if (!empty) at_ = At::Cell;
}

// As the full parse decides whether a cell holds a value: a <v> that is not
// empty, any boolean, a shared string that is not empty.
void SheetSizeScan::finishCell() {
    if (!hasValue_) return;
    if (cells_) return handOver();
    // A NUL escape cut short shows its '_'.
    if (!shown_ && escape_ > 0) show();
    bool counts = shownAsText() ? shown_ : valueBytes_ > 0 || type_ == Type::Boolean;
    if (settled()) return;
    if (type_ == Type::Shared && valueBytes_ > 0) {
        const size_t i = static_cast<size_t>(index_);
        if ((index_ == 0 && valueBytes_ != 1) || i >= stringEnds_.size()) return unknown();
        counts = stringEnds_[i] > (i ? stringEnds_[i - 1] : 0);
    }
    if (!counts) return;
    size_.rows = std::max(size_.rows, row_);
    size_.columns = std::max(size_.columns, column_);
}

// Hands the cell just ended to the cells, its value as the full parse
// collects it: most values hold neither a reference nor a CR.
void SheetSizeScan::handOver() {
    std::string_view text = value_;
    // A loop of its own: find_first_of calls memchr for every byte.
    if (std::any_of(value_.begin(), value_.end(), [](char c) { return c == '&' || c == '\r'; })) {
        decoded_.clear();
        if (!appendCharacterData(decoded_, value_)) return unknown();
        text = decoded_;
    }
    if (!cells_->cell(column_, type_, style_, text)) at_ = At::Done;
}

void SheetSizeScan::close(std::string_view qname) {
    // Inside each element of the subset, the one end tag that may come next
    // and where the scan is after it.
    struct Closing {
        At inside;
        std::string_view name;
        At after;
    };
    static constexpr Closing kClosings[] = {
        {At::Value, "v", At::Cell},        {At::Formula, "f", At::Cell},
        {At::InlineText, "t", At::Inline}, {At::Inline, "is", At::Cell},
        {At::Cell, "c", At::Row},          {At::Row, "row", At::Data},
        {At::Data, "sheetData", At::Done}};
    if (at_ == At::Top) return closeTop(qname);
    const At was = at_;
    auto closing = std::find_if(std::begin(kClosings), std::end(kClosings),
                                [&](const Closing& c) { return c.inside == was; });
    if (closing == std::end(kClosings) || qname != closing->name) return unknown();
    at_ = closing->after;
    if (was == At::Cell) finishCell();
}

// The end of an element before the sheet data; the root's end comes before
// any sheet data, which the full parse measures as empty, but is left to it.
void SheetSizeScan::closeTop(std::string_view qname) {
    const size_t begin = nameEnds_.size() > 1 ? nameEnds_[nameEnds_.size() - 2] : 0;
    if (std::string_view(names_).substr(begin) != qname) return unknown();
    dropPrefixes(nameEnds_.size());
    names_.resize(begin);
    nameEnds_.pop_back();
    if (nameEnds_.empty()) unknown();
}

}  // namespace tabrovin::sheets

namespace tabrovin::sheets {

std::optional<SheetSize> scanZipPart(const ZipArchive& zip, std::string_view part,
                                     std::span<const size_t> stringEnds) {
    SheetSizeScan scan(stringEnds);
    // Only whether it inflated matters: the full parse reports why not.
    bool inflated = zip.streamAhead(part, [&](std::string_view c) { return scan.feed(c); }).ok();
    return inflated ? scan.size() : std::nullopt;
}

}  // namespace tabrovin::sheets
