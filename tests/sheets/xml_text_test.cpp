// The streaming XML parser under the .xlsx and .ods readers, and cell texts:
// chunk edges change nothing, line ends and escaped characters read as
// spreadsheet programs show them, and nothing long is held whole.

#include <gtest/gtest.h>

#include <set>

#include "platform/sheets/xml_stream.h"
#include "tests/sheets/package_util.h"

namespace tabrovin::testing {
namespace {

// Every event as text, to compare parses.
struct XmlLog : sheets::XmlHandler {
    std::string log;
    void start(const sheets::XmlName& name, const sheets::XmlAttributes& attrs) override {
        log += "<" + braced(name.ns) + std::string(name.local);
        for (const auto& a : attrs)
            log += " " + braced(a.ns) + std::string(a.name) + "=" + std::string(a.value);
        log += ">";
    }
    void end(const sheets::XmlName& name) override {
        log += "</" + braced(name.ns) + std::string(name.local) + ">";
    }
    static std::string braced(std::string_view ns) {
        return ns.empty() ? "" : "{" + std::string(ns) + "}";
    }
    void text(std::string_view t) override { log += t; }
};

TEST(XmlStream, ChunkEdgesChangeNothingAndLineEndsBecomeLf) {
    const std::string doc =
        "\xEF\xBB\xBF<?xml version=\"1.0\"?><a x='1>2' y=\"&lt;&#x4E2D;\" "
        "z='1\r\n2\t3\r4&#10;5&#13;'><!-- > -- ]]> --><b>t&amp;u&#20013;</b><![CDATA[<r>]]]]>"
        "p\r\nq\rr\n\ns&#13;\r\n<![CDATA[c\r\nd\r]]>\ne\r</a>";
    for (size_t chunk = 1; chunk <= doc.size(); ++chunk) {
        XmlLog events;
        sheets::XmlStream xml(events);
        for (size_t i = 0; i < doc.size(); i += chunk) xml.feed(doc.substr(i, chunk));
        ASSERT_TRUE(xml.finish()) << chunk << xml.message();
        EXPECT_EQ(events.log,
                  "<a x=1>2 y=<中 z=1 2 3 4\n5\r><b>t&u中</b><r>]]p\nq\nr\n\ns\r\nc\nd\n\ne\n</a>")
            << chunk;
    }
}

TEST(XmlStream, LongTokensAreNotHeld) {
    // Comments, CDATA, instructions and text pass through, whatever their length.
    XmlLog events;
    sheets::XmlStream xml(events);
    const std::string mb(1 << 20, 'x');
    xml.feed("<a>");
    for (auto [open, close] :
         {std::pair{"<!--", "-->"}, {"<![CDATA[", "]]>"}, {"<?p ", "?>"}, {"&amp;", ""}}) {
        xml.feed(open);
        for (int i = 0; i < 4; ++i) xml.feed(mb);
        EXPECT_LT(xml.held(), 16u) << open;
        xml.feed(close);
    }
    xml.feed("</a>");
    EXPECT_TRUE(xml.finish()) << xml.message();
    // A tag is held whole, up to a limit.
    sheets::XmlStream tag(events);
    tag.feed("<a b='");
    for (size_t fed = 0; fed <= sheets::kMaxXmlTag && tag.feed(mb);) fed += mb.size();
    EXPECT_TRUE(tag.malformed());
    EXPECT_NE(tag.message().find("8 MB"), std::string::npos) << tag.message();
}

// The events of parsing `doc` whole, or "!" and the fault.
std::string parsed(const std::string& doc) {
    XmlLog events;
    sheets::XmlStream xml(events);
    xml.feed(doc);
    return xml.finish() ? events.log : "!" + xml.message();
}

TEST(XmlStream, NamespacesFollowTheirScope) {
    EXPECT_EQ(parsed("<a xmlns='u:1' xmlns:p='u:2'><p:b p:x='1' y='2'><c xmlns=''/></p:b>"
                     "<p:b xmlns:p='u:3' xml:space='preserve'/></a>"),
              "<{u:1}a><{u:2}b {u:2}x=1 y=2><c></c></{u:2}b>"
              "<{u:3}b {http://www.w3.org/XML/1998/namespace}space=preserve></{u:3}b></{u:1}a>");
    // A sibling's default namespace ends with it, even when the next element
    // declares as many bindings again.
    EXPECT_EQ(parsed("<a xmlns='u:1'><b xmlns='u:2'/><d xmlns:x='u:9'><c/></d></a>"),
              "<{u:1}a><{u:2}b></{u:2}b><{u:1}d><{u:1}c></{u:1}c></{u:1}d></{u:1}a>");
    // Equal URIs come as the same bytes, however often they are declared.
    struct Addresses : sheets::XmlHandler {
        std::set<const char*> seen;
        void start(const sheets::XmlName& n, const sheets::XmlAttributes&) override {
            seen.insert(n.ns.data());
        }
        void end(const sheets::XmlName& n) override { seen.insert(n.ns.data()); }
    } addresses;
    sheets::XmlStream xml(addresses);
    xml.feed("<a xmlns='u:1'><p:b xmlns:p='u:1'/><b xmlns='u:1'/><p:c xmlns:p='u:1'></p:c></a>");
    EXPECT_TRUE(xml.finish()) << xml.message();
    EXPECT_EQ(addresses.seen.size(), 1u);
    // Those copies are kept, so siblings declaring ever new URIs are refused.
    std::string deep, many = "<a", newUris = "<a>";
    for (size_t i = 0; i <= sheets::kMaxXmlDepth; ++i) deep += "<a>";
    for (size_t i = 0; i <= sheets::kMaxXmlAttributes; ++i) {
        many += " a" + std::to_string(i) + "=''";
        newUris += "<b xmlns='u:" + std::to_string(i) + "'/>";
    }
    for (const std::string& bad :
         {std::string("<a><p:b xmlns:p='u'/><p:b/></a>"), std::string("<a q:x='1'/>"), deep,
          many + "/>", newUris + "</a>"})
        EXPECT_EQ(parsed(bad).substr(0, 1), "!") << bad.substr(0, 40);
}

// Excel writes a line break in a cell as an escaped CR and a line feed.
TEST(XmlText, ExcelEscapesDecodeInEveryKindOfString) {
    const std::string escaped = "a_x000D_b_x005F_x0041__x0000_c_xD83D__xDE00_d_x0041e_xZZZZ_";
    const std::string shown = "a\rb_x0041_c😀d_x0041e_xZZZZ_";
    EXPECT_EQ(readParts(xlsxParts(
                  {worksheet("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c>"
                             "<c r=\"B1\" t=\"inlineStr\"><is><t>" +
                             escaped + "</t></is></c><c r=\"C1\" t=\"str\"><f>X()</f><v>" +
                             escaped + "</v></c><c r=\"D1\" t=\"s\"><v>1</v></c></row>")},
                  "", "<si><t>" + escaped + "</t></si><si><t>x\r\ny\rz&#13;_x000D_\nw</t></si>")),
              (Grid{{shown, shown, shown, "x\ny\nz\r\r\nw"}}));
}

}  // namespace
}  // namespace tabrovin::testing
