#include "platform/sheets/xml_stream.h"

#include <algorithm>
#include <cstring>

#include "platform/cell_text.h"
#include "platform/encoding.h"

namespace tabrovin::sheets {

void appendCellText(std::string& cell, std::string_view text) {
    if (cell.size() < kMaxCellBytes) cell.append(text.substr(0, kMaxCellBytes - cell.size()));
}

void finishCellText(std::string& cell) {
    if (cell.find('\0') != std::string::npos) cell = cell_text::stripNul(std::move(cell));
    if (cell.size() <= kMaxCellCharacters) return;
    size_t characters = 0;
    for (size_t i = 0; i < cell.size(); ++i)
        if ((static_cast<unsigned char>(cell[i]) & 0xC0) != 0x80 &&
            ++characters > kMaxCellCharacters) {
            cell.resize(i);
            return;
        }
}

std::string_view attribute(const XmlAttributes& attrs, std::string_view name) {
    for (const auto& a : attrs)
        if (a.name == name && a.ns.empty()) return a.value;
    return {};
}

std::string_view attribute(const XmlAttributes& attrs, std::string_view ns, std::string_view name) {
    for (const auto& a : attrs)
        if (a.name == name && a.ns == ns) return a.value;
    return {};
}

namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Appends `raw` with its entity references resolved; false on a bad one.
bool appendDecoded(std::string& out, std::string_view raw) {
    size_t i = 0;
    while (i < raw.size()) {
        size_t amp = raw.find('&', i);
        if (amp == std::string_view::npos) {
            out.append(raw.substr(i));
            return true;
        }
        out.append(raw.substr(i, amp - i));
        size_t semi = raw.find(';', amp);
        if (semi == std::string_view::npos || semi - amp > 12) return false;
        std::string_view name = raw.substr(amp + 1, semi - amp - 1);
        if (name == "lt")
            out += '<';
        else if (name == "gt")
            out += '>';
        else if (name == "amp")
            out += '&';
        else if (name == "quot")
            out += '"';
        else if (name == "apos")
            out += '\'';
        else if (name.size() > 1 && name[0] == '#') {
            bool hex = name[1] == 'x';
            std::string digits(name.substr(hex ? 2 : 1));
            char* end = nullptr;
            unsigned long c = std::strtoul(digits.c_str(), &end, hex ? 16 : 10);
            if (digits.empty() || *end || c == 0 || c > 0x10FFFF) return false;
            encoding::appendUtf8(out, static_cast<char32_t>(c));
        } else {
            return false;
        }
        i = semi + 1;
    }
    return true;
}

// Appends attribute value `raw` as an XML processor reports it: each literal
// tab, line end (CR LF counted once) or LF becomes a space, while the same
// characters written as references stay.
bool appendAttributeValue(std::string& out, std::string_view raw) {
    if (raw.find_first_of("\t\n\r") == std::string_view::npos) return appendDecoded(out, raw);
    std::string spaced;
    spaced.reserve(raw.size());
    for (size_t i = 0; i < raw.size(); ++i) {
        char c = raw[i];
        if (c == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') continue;
        spaced += c == '\t' || c == '\n' || c == '\r' ? ' ' : c;
    }
    return appendDecoded(out, spaced);
}

// `raw` with each CR LF and lone CR as LF, into `out`.
void appendLineEnds(std::string& out, std::string_view raw) {
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != '\r') {
            out += raw[i];
        } else if (i + 1 == raw.size() || raw[i + 1] != '\n') {
            out += '\n';
        }
    }
}

// A character that makes an attribute value differ from its raw bytes.
bool needsNormalising(char c) {
    return c == '&' || c == '\t' || c == '\n' || c == '\r';
}

void splitName(std::string_view qname, std::string_view& prefix, std::string_view& local) {
    // Names are a few bytes long: a plain loop beats a call to memchr.
    size_t colon = 0;
    while (colon < qname.size() && qname[colon] != ':') ++colon;
    if (colon == qname.size()) colon = std::string_view::npos;
    prefix = colon == std::string_view::npos ? std::string_view() : qname.substr(0, colon);
    local = colon == std::string_view::npos ? qname : qname.substr(colon + 1);
}

// Continues the search for the '>' that closes a tag from `from`, past
// quoted attribute values; npos, with `from` and `quote` kept for the next
// call, when it is not in `b` yet.
size_t tagEnd(const std::string& b, size_t& from, char& quote) {
    const char* data = b.data();
    const size_t n = b.size();
    char q = quote;  // a local, which stores to `data` cannot alias
    // Tags are a few bytes long: one plain pass beats calls to memchr.
    for (size_t i = from; i < n; ++i) {
        const char ch = data[i];
        if (q) {
            if (ch == q) q = 0;
        } else if (ch == '>') {
            return i;
        } else if (ch == '"' || ch == '\'') {
            q = ch;
        }
    }
    from = n;
    quote = q;
    return std::string::npos;
}

}  // namespace

bool appendCharacterData(std::string& out, std::string_view raw) {
    if (raw.find('\r') == std::string_view::npos) return appendDecoded(out, raw);
    std::string lines;
    appendLineEnds(lines, raw);
    return appendDecoded(out, lines);
}

XmlStream::XmlStream(XmlHandler& handler)
    : handler_(handler), xmlNs_(*uris_.emplace(kXmlNamespace).first) {}
XmlStream::~XmlStream() = default;

bool XmlStream::fault(std::string what) {
    if (!malformed_) message_ = std::move(what);
    malformed_ = true;
    return false;
}

bool XmlStream::feed(std::string_view chunk) {
    if (malformed_ || handler_.stopped) return false;
    buffer_.append(chunk);
    if (!bomChecked_) {
        if (buffer_.size() < 3) return true;
        if (buffer_.compare(0, 3, "\xEF\xBB\xBF") == 0) buffer_.erase(0, 3);
        bomChecked_ = true;
    }
    size_t used = parse(false);
    buffer_.erase(0, used);
    scanned_ -= std::min(scanned_, used);
    return !malformed_ && !handler_.stopped;
}

bool XmlStream::finish() {
    if (malformed_) return false;
    if (handler_.stopped) return true;
    if (!bomChecked_ && buffer_.starts_with("\xEF\xBB\xBF")) buffer_.erase(0, 3);
    bomChecked_ = true;
    parse(true);
    if (malformed_ || handler_.stopped) return !malformed_;
    if (!rootSeen_) return fault("文档为空");
    if (!open_.empty()) return fault("元素“" + std::string(openName()) + "”没有结束（内容不完整）");
    return true;
}

size_t XmlStream::parse(bool last) {
    size_t pos = 0;
    while (pos < buffer_.size() && !malformed_ && !handler_.stopped) {
        size_t next;
        if (pending_ == Pending::None)
            next = buffer_[pos] == '<' ? openMarkup(pos, last) : textRun(pos, last);
        else if (pending_ == Pending::Tag)
            next = tagBody(pos);
        else
            next = skippedBody(pos);
        if (next == pos) break;  // waits for the next chunk
        pos = next;
    }
    if (last && pending_ != Pending::None) fault("标记没有结束（内容不完整）");
    return pos;
}

// Hands over the text up to the next '<'; without one, all of it except a
// reference the chunk may have cut (a valid one spans at most 13 bytes).
size_t XmlStream::textRun(size_t pos, bool last) {
    std::string_view b = buffer_;
    size_t end = b.find('<', pos);
    if (end == std::string_view::npos) {
        end = b.size();
        size_t window = std::max(pos, end - std::min<size_t>(end, 12));
        size_t amp = b.rfind('&');
        if (!last && amp != std::string_view::npos && amp >= window &&
            b.find(';', amp) == std::string_view::npos)
            end = amp;
    }
    if (end > pos) text(b.substr(pos, end - pos));
    return end;
}

// Starts the markup at `pos`: comments, CDATA and processing instructions
// are passed through as they come, tags are gathered whole.
size_t XmlStream::openMarkup(size_t pos, bool last) {
    afterCr_ = false;
    std::string_view rest = std::string_view(buffer_).substr(pos);
    if (rest.size() >= 2 && rest[1] != '!' && rest[1] != '?') {
        pending_ = Pending::Tag;
        scanned_ = pos + 1;
        quote_ = 0;
        return tagBody(pos);
    }
    if (rest.size() < 2 || (rest[1] == '!' && rest.size() < 9 && !rest.starts_with("<!--"))) {
        if (last) fault("标记没有结束（内容不完整）");
        return pos;
    }
    if (rest[1] == '?') return pending_ = Pending::Instruction, pos + 2;
    if (rest.starts_with("<!--")) return pending_ = Pending::Comment, pos + 4;
    if (rest.starts_with("<![CDATA[")) {
        if (open_.empty()) return fault("根元素之外出现了 CDATA"), pos;
        return pending_ = Pending::Cdata, pos + 9;
    }
    return fault("不支持 DOCTYPE 声明"), pos;
}

// The tag starting at `pos` once its '>' has arrived.
size_t XmlStream::tagBody(size_t pos) {
    size_t end = tagEnd(buffer_, scanned_, quote_);
    if (end == std::string::npos) {
        if (buffer_.size() - pos > kMaxXmlTag) fault("有一个标记长达 8 MB 以上");
        return pos;
    }
    pending_ = Pending::None;
    markup(std::string_view(buffer_).substr(pos, end + 1 - pos));
    return end + 1;
}

// The inside of a comment, processing instruction or CDATA section (whose
// text goes to the handler) up to its end, or all of it that is sure not
// to be the start of that end.
size_t XmlStream::skippedBody(size_t pos) {
    std::string_view close = pending_ == Pending::Comment       ? "-->"
                             : pending_ == Pending::Instruction ? "?>"
                                                                : "]]>";
    std::string_view rest = std::string_view(buffer_).substr(pos);
    size_t end = rest.find(close);
    size_t done = end != std::string_view::npos ? end
                  : rest.size() < close.size()  ? 0
                                                : rest.size() - (close.size() - 1);
    if (pending_ == Pending::Cdata && done > 0) text(rest.substr(0, done), false);
    if (end == std::string_view::npos) return pos + done;
    pending_ = Pending::None;
    afterCr_ = false;  // the markup's end stands between a CR and an LF
    return pos + end + close.size();
}

// Hands text to the handler with line ends as LF and, unless in CDATA, its
// references resolved. A CR that ended the previous piece swallows an LF
// that starts this one.
bool XmlStream::text(std::string_view raw, bool references) {
    if (open_.empty()) {
        for (char c : raw)
            if (!isSpace(c)) return fault("根元素之外出现了文字");
        return true;
    }
    if (afterCr_ && !raw.empty() && raw[0] == '\n') raw.remove_prefix(1);
    if (raw.empty()) return true;
    afterCr_ = raw.back() == '\r';
    if (raw.find('\r') != std::string_view::npos) {
        lines_.clear();
        appendLineEnds(lines_, raw);
        raw = lines_;
    }
    if (!references || raw.find('&') == std::string_view::npos) {
        handler_.text(raw);
        return true;
    }
    text_.clear();
    if (!appendDecoded(text_, raw)) return fault("无效的字符引用");
    handler_.text(text_);
    return true;
}

bool XmlStream::markup(std::string_view tag) {
    if (tag[1] != '/') return element(tag);
    std::string_view qname = tag.substr(2, tag.size() - 3);
    while (!qname.empty() && isSpace(qname.back())) qname.remove_suffix(1);
    if (open_.empty() || openName() != qname)
        return fault("结束标记“" + std::string(qname) + "”与开始标记不匹配");
    // The start tag already proved the name and found its namespace.
    const Open top = open_.back();
    handler_.end(XmlName{top.ns, qname.substr(top.local)});
    bindings_.resize(top.bindings);
    names_.resize(top.name);
    open_.pop_back();
    if (open_.empty()) rootClosed_ = true;
    return true;
}

// The namespace URI bound to `prefix` where the parse is now; "" for no
// prefix outside any default namespace.
bool XmlStream::lookup(std::string_view prefix, std::string_view& uri) {
    // Most names have no prefix: the default namespace is looked up once
    // per change of the bindings, not once per name.
    if (prefix.empty() && defaultFor_ == bindings_.size()) {
        uri = default_;
        return true;
    }
    if (prefix.empty()) {
        default_ = {};
        for (size_t i = bindings_.size(); i-- > 0;)
            if (bindings_[i].prefix.empty()) {
                default_ = bindings_[i].uri;
                break;
            }
        defaultFor_ = bindings_.size();
        uri = default_;
        return true;
    }
    for (size_t i = bindings_.size(); i-- > 0;)
        if (bindings_[i].prefix == prefix) {
            uri = bindings_[i].uri;
            return true;
        }
    if (prefix == "xml") {
        uri = xmlNs_;
        return true;
    }
    uri = {};
    return prefix.empty() || fault("命名空间前缀“" + std::string(prefix) + "”没有声明");
}

bool XmlStream::resolve(std::string_view qname, XmlName& out) {
    std::string_view prefix;
    splitName(qname, prefix, out.local);
    if (out.local.empty()) return fault("名称“" + std::string(qname) + "”无效");
    return lookup(prefix, out.ns);
}

// Records `a` as a namespace declaration when it is one (true), or keeps it
// as an attribute.
bool XmlStream::declare(XmlAttribute& a) {
    bool isDefault = a.prefix.empty() && a.name == "xmlns";
    if (!isDefault && a.prefix != "xmlns") {
        if (attrs_.size() >= kMaxXmlAttributes) return fault("一个元素的属性过多");
        attrs_.push_back(a);
        return true;
    }
    if (bindings_.size() >= kMaxXmlAttributes) return fault("命名空间声明过多");
    std::string_view uri;
    if (!intern(a.value, uri)) return false;
    bindings_.push_back({std::string(isDefault ? std::string_view() : a.name), uri});
    defaultFor_ = SIZE_MAX;  // the binding may change the default namespace
    return true;
}

// The one copy of `uri` that every name in that namespace views.
bool XmlStream::intern(std::string_view uri, std::string_view& out) {
    auto known = uris_.find(uri);
    if (known == uris_.end()) {
        // Each copy lives as long as the stream: a hostile part must not
        // make them without end. Real parts declare a few dozen short ones.
        constexpr size_t kMaxUriBytes = size_t(1) << 20;
        uriBytes_ += uri.size();
        if (uris_.size() >= kMaxXmlAttributes || uriBytes_ > kMaxUriBytes)
            return fault("命名空间声明过多");
        known = uris_.emplace(uri).first;
    }
    out = *known;
    return true;
}

// The attributes of the start tag `body` from position `i`, into attrs_ and
// bindings_.
bool XmlStream::attributes(std::string_view body, size_t i) {
    attrs_.clear();
    decoded_.clear();
    decoded_.reserve(body.size());  // views into it must survive appends
    while (true) {
        while (i < body.size() && isSpace(body[i])) ++i;
        if (i >= body.size()) break;
        size_t eq = body.find('=', i);
        if (eq == std::string_view::npos) return fault("属性缺少“=”");
        std::string_view aname = body.substr(i, eq - i);
        while (!aname.empty() && isSpace(aname.back())) aname.remove_suffix(1);
        size_t q = eq + 1;
        while (q < body.size() && isSpace(body[q])) ++q;
        if (q >= body.size() || (body[q] != '"' && body[q] != '\'')) return fault("属性值缺少引号");
        size_t close = body.find(body[q], q + 1);
        if (close == std::string_view::npos) return fault("属性值没有结束");
        std::string_view value = body.substr(q + 1, close - q - 1);
        if (std::any_of(value.begin(), value.end(), [](char c) { return needsNormalising(c); })) {
            size_t at = decoded_.size();
            if (!appendAttributeValue(decoded_, value)) return fault("无效的字符引用");
            value = std::string_view(decoded_).substr(at);
        }
        XmlAttribute a;
        splitName(aname, a.prefix, a.name);
        if (a.name.empty()) return fault("属性名为空");
        a.value = value;
        if (!declare(a)) return false;
        i = close + 1;
    }
    for (auto& a : attrs_)
        if (!a.prefix.empty() && !lookup(a.prefix, a.ns)) return false;
    return true;
}

bool XmlStream::element(std::string_view tag) {
    bool empty = tag.size() >= 3 && tag[tag.size() - 2] == '/';
    std::string_view body = tag.substr(1, tag.size() - (empty ? 3 : 2));
    size_t i = 0;
    while (i < body.size() && !isSpace(body[i])) ++i;
    std::string_view qname = body.substr(0, i);
    if (qname.empty()) return fault("元素名为空");
    if (open_.empty() && (rootSeen_ || rootClosed_)) return fault("出现了第二个根元素");
    if (open_.size() >= kMaxXmlDepth) return fault("元素嵌套过深");
    size_t mark = bindings_.size();
    XmlName name;
    if (!attributes(body, i) || !resolve(qname, name)) return false;
    rootSeen_ = true;
    handler_.start(name, attrs_);
    if (empty) {
        if (!handler_.stopped) handler_.end(name);
        bindings_.resize(mark);
        if (open_.empty()) rootClosed_ = true;
    } else {
        open_.push_back({names_.size(), size_t(name.local.data() - qname.data()), mark, name.ns});
        names_.append(qname);
    }
    return true;
}

}  // namespace tabrovin::sheets

namespace tabrovin::sheets {

Status parsePart(const PartFeed& feed, const std::filesystem::path& file, std::string_view part,
                 XmlHandler& handler) {
    XmlStream xml(handler);
    TABROVIN_TRY(feed([&](std::string_view chunk) { return xml.feed(chunk); }));
    if (!xml.finish())
        return Error::damagedWorkbook(
            file, "“" + std::string(part) + "”不是完整有效的 XML（" + xml.message() + "）");
    return handler.status;
}

Status parseZipPart(const ZipArchive& zip, std::string_view part, XmlHandler& handler) {
    auto feed = [&](const std::function<bool(std::string_view)>& chunk) {
        return zip.streamAhead(part, chunk);
    };
    return parsePart(feed, zip.path(), part, handler);
}

}  // namespace tabrovin::sheets
