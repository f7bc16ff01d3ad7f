// Files that are not workbooks or are damaged: each gives its error number
// and a description, never a crash or a hang.

#include <gtest/gtest.h>

#include <future>
#include <random>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "platform/sheets/xml_stream.h"
#include "tests/sheets/sheet_test_util.h"
#include "tests/support/test_support.h"

namespace tabrovin::testing {
namespace {

// A zip of the parts given as name, bytes, name, bytes..., by Python's zipfile.
void writeZip(const std::filesystem::path& path, const std::vector<std::string>& parts) {
    std::string args = shellQuote(path.string());
    for (const std::string& part : parts) args += " " + shellQuote(part);
    auto r = runPython(
        "import sys, zipfile\nz = zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED)\n"
        "for i in range(2, len(sys.argv), 2): z.writestr(sys.argv[i], sys.argv[i + 1])\n",
        args);
    ASSERT_EQ(r.exitCode, 0) << r.output;
}

// A one-sheet workbook whose sheet "S&1" is `sheet`; `workbookPr` precedes its sheet list.
void writeXlsx(const std::filesystem::path& path, const std::string& sheet,
               const std::string& workbookPr = "") {
    const std::string ns = "http://schemas.openxmlformats.org/";
    const std::string rel = "<Relationship Type=\"" + ns + "officeDocument/2006/relationships/";
    writeZip(
        path,
        {"[Content_Types].xml", "<Types xmlns=\"" + ns + "package/2006/content-types\"/>",
         "xl/workbook.xml",
         "<workbook xmlns=\"" + ns + "spreadsheetml/2006/main\" xmlns:r=\"" + ns +
             "officeDocument/2006/relationships\">" + workbookPr +
             R"(<sheets><sheet name="S&amp;1" sheetId="1" r:id="rId1"/></sheets></workbook>)",
         "xl/_rels/workbook.xml.rels",
         "<Relationships xmlns=\"" + ns + "package/2006/relationships\">" + rel +
             R"(worksheet" Id="rId1" Target="worksheets/sheet1.xml"/>)" + rel +
             R"(styles" Id="rId2" Target="styles.xml"/></Relationships>)",
         "xl/styles.xml",
         R"(<styleSheet><cellXfs><xf numFmtId="0"/><xf numFmtId="14"/></cellXfs></styleSheet>)",
         "xl/worksheets/sheet1.xml", sheet});
}

TEST(BadFiles, NotWorkbooksGiveTheirErrorNumbers) {
    TempDir dir;
    std::mt19937 gen(7);
    std::string noise(5000, '\0');
    for (auto& c : noise) c = static_cast<char>(gen());
    writeFile(dir / "noise.xls", noise);
    writeFile(dir / "empty.xlsx", "");
    writeZip(dir / "other.xlsx", {"readme.txt", "hello", "mimetype", "application/zip"});
    writeZip(dir / "locked.ods",
             {"mimetype", "application/vnd.oasis.opendocument.spreadsheet", "META-INF/manifest.xml",
              R"(<manifest:manifest xmlns:manifest=")"
              R"(urn:oasis:names:tc:opendocument:xmlns:manifest:1.0">)"
              R"(<manifest:file-entry manifest:full-path="content.xml">)"
              R"(<manifest:encryption-data manifest:checksum="x"/>)"
              "</manifest:file-entry></manifest:manifest>",
              "content.xml", "binary"});
    const std::pair<const char*, int> cases[] = {
        {"没有.xlsx", err::kFileNotFound}, {"", err::kFileAccess},
        {"empty.xlsx", err::kNotWorkbook}, {"noise.xls", err::kNotWorkbook},
        {"other.xlsx", err::kNotWorkbook}, {"locked.ods", err::kEncryptedWorkbook}};
    for (auto [name, number] : cases) EXPECT_EQ(readError(dir / name), number) << name;
    auto book = openWorkbookFile(dir / "noise.xls");
    ASSERT_FALSE(book.ok());
    EXPECT_NE(book.error().description.find("无法识别的文件格式"), std::string::npos);
    // Text under a workbook's name is read as CSV, by its content.
    writeFile(dir / "文本.xlsx", "甲,乙\n1,2\n");
    EXPECT_EQ(readSheet(dir / "文本.xlsx"), (Grid{{"甲", "乙"}, {"1", "2"}}));
}

TEST(BadFiles, TruncatedZipsAndCorruptXmlAreDamaged) {
    TempDir dir;
    auto r = runPython(R"(
import sys, openpyxl
wb = openpyxl.Workbook()
for i in range(300): wb.active.append([i, "文字%d" % i, i * 0.5])
wb.save(sys.argv[1])
)",
                       shellQuote((dir / "full.xlsx").string()));
    ASSERT_EQ(r.exitCode, 0) << r.output;
    const std::string bytes = readFile(dir / "full.xlsx");
    for (double part : {0.02, 0.3, 0.6, 0.9, 0.999}) {
        writeFile(dir / "cut.xlsx", bytes.substr(0, size_t(bytes.size() * part)));
        EXPECT_EQ(readError(dir / "cut.xlsx"), err::kDamagedWorkbook) << "cut at " << part;
    }
    const std::string cell = R"(<worksheet><sheetData><row r="1"><c r="A1")";
    const std::string end = "</c></row></sheetData></worksheet>";
    const std::string sheets[] = {cell + "><v>1</v></c></row>",  // cut short
                                  cell + "><v>1</x>" + end, cell + R"( t="s"><v>5</v>)" + end,
                                  cell + "><v>&bogus;</v>" + end,
                                  R"(<!DOCTYPE x [<!ENTITY a "b">]><worksheet/>)"};
    for (const std::string& sheet : sheets) {
        writeXlsx(dir / "bad.xlsx", sheet);
        EXPECT_EQ(readError(dir / "bad.xlsx"), err::kDamagedWorkbook) << sheet;
    }
}

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

TEST(XmlStream, ChunkEdgesChangeNothingAndLongTokensAreNotHeld) {
    const std::string doc =
        "\xEF\xBB\xBF<?xml version=\"1.0\"?><a x='1>2' y=\"&lt;&#x4E2D;\"><!-- > -- ]]> -->"
        "<b>t&amp;u&#20013;</b><![CDATA[<r>]]]]></a>";
    for (size_t chunk : {doc.size(), size_t(1), size_t(7)}) {
        XmlLog events;
        sheets::XmlStream xml(events);
        for (size_t i = 0; i < doc.size(); i += chunk) xml.feed(doc.substr(i, chunk));
        EXPECT_TRUE(xml.finish()) << chunk << xml.message();
        EXPECT_EQ(events.log, "<a x=1>2 y=<中><b>t&u中</b><r>]]</a>") << chunk;
    }
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
    EXPECT_EQ(parsed("<a><p:b xmlns:p='u'/><p:b/></a>").substr(0, 1), "!");
    EXPECT_EQ(parsed("<a q:x='1'/>").substr(0, 1), "!");
    std::string deep;
    for (size_t i = 0; i <= sheets::kMaxXmlDepth; ++i) deep += "<a>";
    EXPECT_EQ(parsed(deep).substr(0, 1), "!");
    std::string many = "<a";
    for (size_t i = 0; i <= sheets::kMaxXmlAttributes; ++i)
        many += " a" + std::to_string(i) + "=''";
    EXPECT_EQ(parsed(many + "/>").substr(0, 1), "!");
}

// The error text of opening `path` and measuring its first sheet, or "".
std::string openFailure(const std::filesystem::path& path) {
    auto book = openWorkbookFile(path);
    if (!book) return book.error().description;
    auto sheet = (*book)->worksheet(1);
    return sheet ? "" : sheet.error().description;
}

TEST(BadFiles, CsvFieldsRecordsAndLinesBeyondASheetAreRefused) {
    TempDir dir;
    tabrovin::testing::writeFile(dir / "long.csv", "a,b\n" + std::string(200000, 'x') + ",y\n");
    tabrovin::testing::writeFile(dir / "wide.csv", std::string(20000, ',') + "\n1\n");
    EXPECT_EQ(readError(dir / "long.csv"), err::kDamagedWorkbook);
    EXPECT_EQ(readError(dir / "wide.csv"), err::kDamagedWorkbook);
    EXPECT_NE(openFailure(dir / "long.csv").find("第 2 行第 1 列"), std::string::npos);
    // Every field and the field count within their limits, the line itself too long:
    // refused as it is split, never held whole.
    std::string field(100000, 'x');
    std::string line;
    for (int i = 0; i < 200; ++i) line += field + ",";
    tabrovin::testing::writeFile(dir / "line.csv", "a,b\n" + line + "\n");
    EXPECT_EQ(readError(dir / "line.csv"), err::kDamagedWorkbook);
    std::string why = openFailure(dir / "line.csv");
    EXPECT_NE(why.find("第 2 行"), std::string::npos) << why;
    EXPECT_NE(why.find("16 MB"), std::string::npos) << why;
}

TEST(BadFiles, TextThatCannotBeDecodedSaysSo) {
    TempDir dir;
    std::string le;
    for (char c : std::string("name,amount\r\nbook,12\r\n")) le += {c, '\0'};
    tabrovin::testing::writeFile(dir / "le.csv", le);
    tabrovin::testing::writeFile(dir / "be.csv", "\0" + le.substr(0, le.size() - 1));
    tabrovin::testing::writeFile(dir / "other.csv", "a,b\n\xA4\xA4,\xFF\x80\n");
    const std::tuple<const char*, int, const char*> cases[] = {
        {"le.csv", err::kNotWorkbook, "UTF-16"},
        {"be.csv", err::kNotWorkbook, "UTF-16"},
        {"other.csv", err::kCellConversion, "第 2 行第 2 列的单元格无法读取：文字既不是 UTF-8"}};
    for (auto [name, number, words] : cases) {
        EXPECT_EQ(readError(dir / name), number) << name;
        EXPECT_NE(openFailure(dir / name).find(words), std::string::npos)
            << openFailure(dir / name);
    }
}

#ifndef _WIN32
TEST(BadFiles, PipesAndDevicesAreRefusedWithoutWaiting) {
    TempDir dir;
    const auto fifo = dir / "管道.csv";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto opening = std::async(std::launch::async, [&] { return readError(fifo); });
    if (opening.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
        int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);  // lets the reader go
        if (writer >= 0) ::close(writer);
        ADD_FAILURE() << "opening a pipe waited for a writer";
    }
    EXPECT_EQ(opening.get(), err::kFileAccess);
    EXPECT_NE(openFailure(fifo).find("不是普通文件"), std::string::npos) << openFailure(fifo);
    EXPECT_EQ(readError("/dev/null"), err::kFileAccess);
}
#endif

TEST(BadFiles, CellErrorsNameSheetRowAndColumn) {
    TempDir dir;
    writeXlsx(dir / "bad.xlsx", R"(<worksheet><sheetData><row r="4"><c r="C4"><v>abc</v></c></row>)"
                                "</sheetData></worksheet>");
    auto book = openWorkbookFile(dir / "bad.xlsx");
    ASSERT_TRUE(book.ok());
    auto sheet = (*book)->worksheet(1);
    ASSERT_TRUE(sheet.ok());
    Grid ignored;
    Status s = readGrid(**sheet, 1, 4, 3, ignored);
    ASSERT_FALSE(s.ok());
    EXPECT_EQ(s.error().number, err::kCellConversion);
    EXPECT_NE(s.error().description.find("工作表“S&1”第 4 行第 3 列"), std::string::npos)
        << s.error().description;
}

TEST(XlsxDetails, InlineStringsDate1904AndSparseRows) {
    TempDir dir;
    writeXlsx(dir / "a.xlsx", R"(<worksheet><sheetData>
<row r="2"><c r="B2" t="inlineStr"><is><t>内联</t><r><t xml:space="preserve"> 文字</t></r></is></c>
<c r="C2" t="e"><v>#REF!</v></c></row>
<row r="5"><c r="A5" s="1"><v>0</v></c><c r="D5" t="b"><v>1</v></c></row>
</sheetData></worksheet>)",
              R"(<workbookPr date1904="1"/>)");
    EXPECT_EQ(readSheet(dir / "a.xlsx"), (Grid{{"", "", "", ""},
                                               {"", "内联 文字", "#REF!", ""},
                                               {"", "", "", ""},
                                               {"", "", "", ""},
                                               {"1904/1/1", "", "", "TRUE"}}));
    // A cell keeps the first 32,767 characters, as many as a spreadsheet cell holds.
    std::string text;
    for (int i = 0; i < 35000; ++i) text += "字";
    writeXlsx(dir / "long.xlsx", R"(<worksheet><sheetData><row r="1"><c r="A1" t="inlineStr"><is>)"
                                 "<t>" +
                                     text + "</t></is></c></row></sheetData></worksheet>");
    EXPECT_EQ(readSheet(dir / "long.xlsx"), (Grid{{text.substr(0, 3 * 32767)}}));
}

}  // namespace
}  // namespace tabrovin::testing
