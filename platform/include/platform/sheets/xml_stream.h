#pragma once
// An event-driven XML parser fed chunk by chunk, so a worksheet part is
// never held in memory as a whole. Element and attribute names come as
// namespace URI and local name: a vocabulary is known by its URI, whatever
// prefix a writer bound it to. Line ends in text are reported as LF and
// attribute values are whitespace-normalised, as any XML processor does.
// It reads the UTF-8 XML that spreadsheet packages hold: elements,
// attributes, character and the five predefined entity references, CDATA,
// comments and processing instructions; a DOCTYPE is refused (packages have
// none, and refusing it rules out entity-expansion bombs). Written for speed:
// a general-purpose parser spent more than half of a large sheet's read time.
// Each byte is scanned once however the chunks fall: text, comments, CDATA
// and processing instructions pass through without being held, and a tag
// longer than kMaxXmlTag, nesting deeper than kMaxXmlDepth or more than
// kMaxXmlAttributes attributes are refused, so a hostile part costs neither
// quadratic time nor unbounded memory. Equal namespace URIs come as views of
// the same bytes, which live as long as the stream: a handler may tell a
// URI it has seen before by its address.

#include <filesystem>
#include <functional>
#include <new>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/error.h"
#include "platform/sheets/limits.h"
#include "platform/sheets/zip_archive.h"

namespace tabrovin::sheets {

// The bytes of one cell's text kept, enough for its longest text, so a
// giant cell cannot exhaust memory; what lies beyond is dropped.
constexpr size_t kMaxCellBytes = 4 * kMaxCellCharacters;
// Appends a text event to the text of one cell, holding at most kMaxCellBytes.
void appendCellText(std::string& cell, std::string_view text);
// What every collected cell text ends with: its NULs dropped, then cut to
// its first kMaxCellCharacters characters.
void finishCellText(std::string& cell);
// Appends the character data `raw` of one element as the parse hands it to
// a handler: each CR LF and lone CR as LF, then references resolved. False
// on a reference the parse refuses.
bool appendCharacterData(std::string& out, std::string_view raw);

// The namespace that the prefix "xml" is bound to in every document.
constexpr std::string_view kXmlNamespace = "http://www.w3.org/XML/1998/namespace";

struct XmlName {
    std::string_view ns;     // namespace URI, "" when the name is in none
    std::string_view local;  // the name without its prefix
    bool is(std::string_view uri, std::string_view name) const {
        return local == name && ns == uri;
    }
};

struct XmlAttribute {
    std::string_view prefix;  // as written; what it stands for is in `ns`
    std::string_view ns;      // namespace URI, "" for an unprefixed attribute
    std::string_view name;    // local name
    std::string_view value;   // normalised, character references resolved
};
// Namespace declarations (xmlns, xmlns:p) are not among them.
using XmlAttributes = std::vector<XmlAttribute>;

// Returns the value of unprefixed attribute `name`, or an empty view.
std::string_view attribute(const XmlAttributes& attrs, std::string_view name);
// The same, for the attribute `name` of namespace `ns`.
std::string_view attribute(const XmlAttributes& attrs, std::string_view ns, std::string_view name);

class XmlHandler {
  public:
    virtual ~XmlHandler() = default;
    virtual void start(const XmlName& name, const XmlAttributes& attrs) = 0;
    virtual void end(const XmlName& name) = 0;
    virtual void text(std::string_view) {}

    // Set by a handler that has seen enough (or met a value it rejects);
    // parsing stops at the next event.
    bool stopped = false;
    // Why the handler refused the part; parseZipPart returns it.
    Status status;
    void fail(Error e) {
        if (status.ok()) status = std::move(e);
        stopped = true;
    }
};

class XmlStream {
  public:
    explicit XmlStream(XmlHandler& handler);
    ~XmlStream();
    XmlStream(const XmlStream&) = delete;
    XmlStream& operator=(const XmlStream&) = delete;

    // Feeds the next chunk; false once the XML proved malformed or the
    // handler stopped.
    bool feed(std::string_view chunk);
    // Ends the document; false when it was malformed or incomplete.
    bool finish();
    bool malformed() const { return malformed_; }
    // What was wrong with the first fault, for messages.
    const std::string& message() const { return message_; }
    // Bytes held back for the next chunk (part of a tag, or a few bytes).
    size_t held() const { return buffer_.size(); }

  private:
    // What the parse stopped inside of at the end of the buffer.
    enum class Pending { None, Tag, Comment, Cdata, Instruction };

    size_t parse(bool last);  // consumes what it can of buffer_
    size_t textRun(size_t pos, bool last);
    size_t openMarkup(size_t pos, bool last);
    size_t tagBody(size_t pos);
    size_t skippedBody(size_t pos);
    bool markup(std::string_view tag);
    bool element(std::string_view tag);
    bool attributes(std::string_view body, size_t i);
    bool declare(XmlAttribute& a);
    bool intern(std::string_view uri, std::string_view& out);
    bool resolve(std::string_view qname, XmlName& out);
    bool lookup(std::string_view prefix, std::string_view& uri);
    bool text(std::string_view raw, bool references = true);
    bool fault(std::string what);

    XmlHandler& handler_;
    bool malformed_ = false, rootSeen_ = false, rootClosed_ = false, bomChecked_ = false;
    std::string message_;
    std::string buffer_;
    Pending pending_ = Pending::None;
    size_t scanned_ = 0;  // where the search for the pending tag's '>' resumes
    char quote_ = 0;      // the quote open at scanned_, if any
    struct Open {
        size_t name;      // where its qualified name starts in names_
        size_t local;     // where its local name starts in that: 0, or past "prefix:"
        size_t bindings;  // bindings_.size() before its own declarations
        std::string_view ns;
    };
    std::string_view openName() const { return std::string_view(names_).substr(open_.back().name); }
    std::vector<Open> open_;  // the elements open, outermost first
    std::string names_;       // their qualified names, one after another
    struct Binding {
        std::string prefix;
        std::string_view uri;  // in uris_
    };
    std::vector<Binding> bindings_;            // in scope, innermost last
    std::set<std::string, std::less<>> uris_;  // every URI declared so far
    size_t uriBytes_ = 0;                      // their lengths added up
    std::string_view xmlNs_;                   // kXmlNamespace in uris_
    // The default namespace while bindings_ has defaultFor_ entries (bindings
    // only ever get pushed, or popped to an earlier size).
    std::string_view default_;
    size_t defaultFor_ = SIZE_MAX;
    XmlAttributes attrs_;
    std::string decoded_, text_, lines_;
    bool afterCr_ = false;  // the last text ended in a CR whose LF may follow
};

// Hands the bytes of one part to `chunk` piece by piece, as
// ZipArchive::streamAhead does; its errors are the part's.
using PartFeed = std::function<Status(const std::function<bool(std::string_view)>& chunk)>;

// Parses part `part` of `file`, as `feed` gives it, through `handler`;
// err::kDamagedWorkbook naming the part when the XML is malformed or the
// feed fails, else the handler's status.
Status parsePart(const PartFeed& feed, const std::filesystem::path& file, std::string_view part,
                 XmlHandler& handler);
// parsePart of zip part `part`.
Status parseZipPart(const ZipArchive& zip, std::string_view part, XmlHandler& handler);

// Runs `work` (returning Status), turning a failed allocation into
// err::kDamagedWorkbook for `file`: the last resort behind the limits.
template <class Work>
Status guarded(const std::filesystem::path& file, Work work) {
    try {
        return work();
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    return Error::damagedWorkbook(file, "读取它所需的内存超出了本机可用的内存");
}

}  // namespace tabrovin::sheets
