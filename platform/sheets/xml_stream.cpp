#include "platform/sheets/xml_stream.h"

#include <cstring>

#include "platform/encoding.h"

namespace tabrovin::sheets {

std::string_view attribute(const XmlAttributes& attrs, std::string_view name) {
    for (const auto& a : attrs)
        if (a.name == name) return a.value;
    return {};
}

std::string_view attribute(const XmlAttributes& attrs, std::string_view prefix,
                           std::string_view name) {
    for (const auto& a : attrs)
        if (a.name == name && a.prefix == prefix) return a.value;
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

void splitName(std::string_view qname, std::string_view& prefix, std::string_view& local) {
    size_t colon = qname.find(':');
    prefix = colon == std::string_view::npos ? std::string_view() : qname.substr(0, colon);
    local = colon == std::string_view::npos ? qname : qname.substr(colon + 1);
}

// The '>' that closes the tag starting before `from`, skipping quoted
// attribute values; npos when it is not in `b` yet.
size_t tagEnd(const std::string& b, size_t from) {
    const char* data = b.data();
    while (true) {
        const void* gt = std::memchr(data + from, '>', b.size() - from);
        if (!gt) return std::string::npos;
        size_t end = static_cast<const char*>(gt) - data;
        // Most tags hold no quote before their '>', or quotes in pairs.
        size_t i = from;
        char quote = 0;
        for (; i < end; ++i) {
            char ch = data[i];
            if (quote) {
                if (ch == quote) quote = 0;
            } else if (ch == '"' || ch == '\'') {
                quote = ch;
            }
        }
        if (!quote) return end;
        const void* close = std::memchr(data + end, quote, b.size() - end);
        if (!close) return std::string::npos;
        from = static_cast<const char*>(close) - data + 1;
    }
}

}  // namespace

XmlStream::XmlStream(XmlHandler& handler) : handler_(handler) {}
XmlStream::~XmlStream() = default;

bool XmlStream::fault(std::string what) {
    if (!malformed_) message_ = std::move(what);
    malformed_ = true;
    return false;
}

bool XmlStream::feed(std::string_view chunk) {
    if (malformed_ || handler_.stopped) return false;
    buffer_.append(chunk);
    if (!bomChecked_ && buffer_.size() >= 3) {
        if (buffer_.compare(0, 3, "\xEF\xBB\xBF") == 0) buffer_.erase(0, 3);
        bomChecked_ = true;
    }
    size_t used = parse(false);
    buffer_.erase(0, used);
    return !malformed_ && !handler_.stopped;
}

bool XmlStream::finish() {
    if (malformed_) return false;
    if (handler_.stopped) return true;
    parse(true);
    if (malformed_ || handler_.stopped) return !malformed_;
    if (!rootSeen_) return fault("文档为空");
    if (!open_.empty()) return fault("元素“" + open_.back() + "”没有结束（内容不完整）");
    return true;
}

size_t XmlStream::parse(bool last) {
    size_t pos = 0;
    const std::string& b = buffer_;
    while (pos < b.size() && !malformed_ && !handler_.stopped) {
        if (b[pos] != '<') {
            size_t lt = b.find('<', pos);
            if (lt == std::string::npos) {
                if (!last) {
                    // Hand over text only up to a possibly split reference.
                    size_t amp = b.rfind('&');
                    size_t end = amp != std::string::npos && amp >= pos ? amp : b.size();
                    if (end > pos && !text(std::string_view(b).substr(pos, end - pos))) break;
                    return end;
                }
                lt = b.size();
            }
            if (!text(std::string_view(b).substr(pos, lt - pos))) break;
            pos = lt;
            continue;
        }
        // Find the end of this markup; comments, CDATA and quoted attribute
        // values may hold '>'.
        size_t end = std::string::npos;
        char kind = pos + 1 < b.size() ? b[pos + 1] : 0;
        if (kind == '!' && b.compare(pos, 4, "<!--") == 0) {
            end = b.find("-->", pos + 4);
            if (end != std::string::npos) end += 2;
        } else if (kind == '!' && b.compare(pos, 9, "<![CDATA[") == 0) {
            end = b.find("]]>", pos + 9);
            if (end != std::string::npos) end += 2;
        } else if (kind != 0) {
            end = tagEnd(b, pos + 1);
        }
        if (end == std::string::npos) {
            if (last) fault("标记没有结束（内容不完整）");
            return pos;
        }
        if (!markup(std::string_view(b).substr(pos, end + 1 - pos))) break;
        pos = end + 1;
    }
    return pos;
}

bool XmlStream::text(std::string_view raw) {
    if (open_.empty()) {
        for (char c : raw)
            if (!isSpace(c)) return fault("根元素之外出现了文字");
        return true;
    }
    if (raw.find('&') == std::string_view::npos) {
        handler_.text(raw);
        return true;
    }
    text_.clear();
    if (!appendDecoded(text_, raw)) return fault("无效的字符引用");
    handler_.text(text_);
    return true;
}

bool XmlStream::markup(std::string_view tag) {
    if (tag[1] != '/' && tag[1] != '!' && tag[1] != '?') return element(tag);
    if (tag.starts_with("<!--") || tag.starts_with("<?")) return true;
    if (tag.starts_with("<![CDATA[")) {
        if (open_.empty()) return fault("根元素之外出现了 CDATA");
        handler_.text(tag.substr(9, tag.size() - 12));
        return true;
    }
    if (tag.starts_with("<!")) return fault("不支持 DOCTYPE 声明");
    if (tag.starts_with("</")) {
        std::string_view name = tag.substr(2, tag.size() - 3);
        while (!name.empty() && isSpace(name.back())) name.remove_suffix(1);
        if (open_.empty() || open_.back() != name)
            return fault("结束标记“" + std::string(name) + "”与开始标记不匹配");
        std::string_view prefix, local;
        splitName(name, prefix, local);
        handler_.end(local);
        open_.pop_back();
        if (open_.empty()) rootClosed_ = true;
        return true;
    }
    return element(tag);
}

bool XmlStream::element(std::string_view tag) {
    bool empty = tag.size() >= 3 && tag[tag.size() - 2] == '/';
    std::string_view body = tag.substr(1, tag.size() - (empty ? 3 : 2));
    size_t i = 0;
    while (i < body.size() && !isSpace(body[i])) ++i;
    std::string_view qname = body.substr(0, i);
    if (qname.empty()) return fault("元素名为空");
    if (open_.empty() && (rootSeen_ || rootClosed_)) return fault("出现了第二个根元素");
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
        if (value.find('&') != std::string_view::npos) {
            size_t at = decoded_.size();
            if (!appendDecoded(decoded_, value)) return fault("无效的字符引用");
            value = std::string_view(decoded_).substr(at);
        }
        XmlAttribute a;
        splitName(aname, a.prefix, a.name);
        a.value = value;
        attrs_.push_back(a);
        i = close + 1;
    }
    rootSeen_ = true;
    std::string_view prefix, local;
    splitName(qname, prefix, local);
    handler_.start(local, attrs_);
    if (empty) {
        if (!handler_.stopped) handler_.end(local);
        if (open_.empty()) rootClosed_ = true;
    } else {
        open_.emplace_back(qname);
    }
    return true;
}

}  // namespace tabrovin::sheets

namespace tabrovin::sheets {

Status parseZipPart(const ZipArchive& zip, std::string_view part, XmlHandler& handler) {
    XmlStream xml(handler);
    TABROVIN_TRY(zip.stream(part, [&](std::string_view chunk) { return xml.feed(chunk); }));
    if (!xml.finish())
        return Error{err::kDamagedWorkbook, "工作簿文件已损坏：“" + std::string(part) +
                                                "”不是完整有效的 XML（" + xml.message() + "）。"};
    return Status::Ok();
}

}  // namespace tabrovin::sheets
