// Measuring and reading a sheet. The quick scan of .xlsx worksheets either
// cannot tell or gives exactly what the full parse gives, its size and its
// rows, and the parts spreadsheet writers produce take it; a size is
// measured once per file version.

#include "platform/sheets/size_scan.h"

#include <gtest/gtest.h>

#include <random>

#include "platform/sheets/size_cache.h"
#include "tests/sheets/package_util.h"

namespace tabrovin::testing {
namespace {

using sheets::MeasureBy, sheets::ReadBy, sheets::SheetRead, sheets::SheetSizeScan;

const std::vector<std::string> kStrings = {"a", "", "b", ""};

// The scan of `xml` fed in chunks of `chunk` bytes.
std::optional<SheetSize> scanned(std::string_view xml, size_t chunk = SIZE_MAX) {
    std::vector<size_t> ends;
    size_t at = 0;
    for (const auto& s : kStrings) ends.push_back(at += s.size());
    SheetSizeScan scan(ends);
    for (size_t i = 0; i < xml.size() && scan.feed(xml.substr(i, chunk)); i += chunk) {
    }
    return scan.size();
}

// Fails unless the scan of `xml` cannot tell or agrees with the full parse;
// true when it told.
bool agrees(const std::string& xml, size_t chunk = SIZE_MAX) {
    auto quick = scanned(xml, chunk);
    if (!quick) return false;
    auto full = sheets::parsedSheetSize(xml, kStrings);
    EXPECT_TRUE(full.ok()) << "scan told, full parse refused: " << xml;
    EXPECT_TRUE(full.ok() && full->rows == quick->rows && full->columns == quick->columns)
        << quick->rows << "x" << quick->columns << " for " << xml;
    return true;
}

// Mostly one of the first `sane` entries of `from`, sometimes any.
template <size_t N>
std::string pick(std::mt19937& rng, const char* const (&from)[N], size_t sane) {
    return from[rng() % (rng() % 4 ? sane : N)];
}

// A sheet part from pieces that writers use, mixed with what the full parse
// reads its own way or refuses.
std::string randomPart(std::mt19937& rng) {
    static const char* const kHeads[] = {"",           "\xEF\xBB\xBF", "<?xml version=\"1.0\"?>\n",
                                         "<!-- c -->", " x",           "<!DOCTYPE w>"};
    static const char* const kRoots[] = {
        ("<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
         "xmlns:x14ac=\"urn:ac\">"),
        "<worksheet xmlns='http://purl.oclc.org/ooxml/spreadsheetml/main'>", "<worksheet>",
        "<worksheet xmlns=\"urn:other\">", "<x:worksheet xmlns:x=\"urn:x\">"};
    static const char* const kBefore[] = {"",
                                          "<dimension ref=\"A1:C3\"/>",
                                          "<sheetViews><sheetView a='&lt;'/></sheetViews>",
                                          "<e:ext xmlns:e=\"urn:e\"><e:sheetData/></e:ext>",
                                          "<y:z/>",
                                          "<?pi x?><!--<sheetData>-->",
                                          "<cols><col min='1'/></cols>",
                                          "<p><sheetData/></p>",
                                          "<a></b>"};
    static const char* const kRows[] = {"r=\"1\"",
                                        "r=\"2\" spans=\"1:3\"",
                                        "r='7'",
                                        "r=\"1048576\"",
                                        "",
                                        "r=\"0\"",
                                        "r=\"00\"",
                                        "r=\"1048577\"",
                                        "r=\"x\"",
                                        "r=\"3\" x14ac:dyDescent=\"0.25\"",
                                        "r=\"4\" q:a=\"1\"",
                                        "r=\"&#53;\""};
    static const char* const kRefs[] = {"A1", "C9", "b2", "$D$1", "XFD3", "", "XFE1", "1A", "A"};
    static const char* const kTypes[] = {"",         " t=\"n\"",     " t=\"s\"", " t=\"str\"",
                                         " t=\"b\"", " t=\"e\"",     " t=\"d\"", " t=\"inlineStr\"",
                                         " t=\"x\"", " t=\"&#115;\""};
    static const char* const kValues[] = {"",     "0",          "1",       "01",
                                          "00",   "3",          "4",       "-1",
                                          " 1",   "x",          "_x0000_", "_x0000__x0000_",
                                          "_x00", "_X0000_",    "a&amp;b", "&#95;x0000&#95;",
                                          "&lt;", "&bogus;",    "\r\n",    "2147483648",
                                          "TRUE", "2024-03-05", "&#0;"};
    static const char* const kBodies[] = {"<v>$</v>",
                                          "<v/>",
                                          "<v>$</v><v>$</v>",
                                          "<f>A1&amp;B1</f><v>$</v>",
                                          "<f/>",
                                          "<is><t>$</t></is>",
                                          "<is><t>$</t><t>$</t></is>",
                                          "<is><r><t>$</t></r></is>",
                                          "<is/>",
                                          "<v><!--c-->$</v>",
                                          "<v><![CDATA[$]]></v>",
                                          "<x:v>$</x:v>",
                                          "$",
                                          ""};
    static const char* const kTails[] = {"</sheetData></worksheet>",
                                         "</sheetData><hyperlinks>&junk</worksheet>",
                                         "</sheetData >", "</sheetdata>", ""};
    std::string xml =
        pick(rng, kHeads, 4) + pick(rng, kRoots, 3) + pick(rng, kBefore, 5) + "<sheetData>";
    for (int r = int(rng() % 4); r-- > 0;) {
        xml += "<row " + pick(rng, kRows, 4) + ">";
        for (int c = int(rng() % 4); c-- > 0;) {
            std::string body = pick(rng, kBodies, 7);
            for (size_t at; (at = body.find('$')) != std::string::npos;) {
                std::string v = pick(rng, kValues, 13);
                if (v.empty() && rng() % 3 == 0) v = std::string(1, '\0');
                body.replace(at, 1, v);
            }
            xml +=
                "<c r=\"" + pick(rng, kRefs, 4) + "\"" + pick(rng, kTypes, 8) + ">" + body + "</c>";
        }
        xml += "</row>";
    }
    xml += pick(rng, kTails, 2);
    if (rng() % 8 == 0) xml.resize(rng() % (xml.size() + 1));
    if (rng() % 8 == 0) xml.insert(rng() % (xml.size() + 1), 1, "<>&\"' x\0"[rng() % 8]);
    return xml;
}

TEST(SheetSizeScan, EitherCannotTellOrAgreesWithTheFullParse) {
    std::mt19937 rng(20261207);
    int told = 0, tries = 20000;
    for (int i = 0; i < tries; ++i) told += agrees(randomPart(rng), 1 + rng() % 40);
    // Otherwise the fast path would be a dead one.
    EXPECT_GT(told, tries / 20);
}

std::string describe(const SheetRead& read) {
    std::string out = read.status.ok() ? "ok" : read.status.error().description;
    for (const auto& [row, cells] : read.rows) {
        out += "\n" + std::to_string(row) + ":";
        for (const auto& c : cells) out += " [" + c + "]";
    }
    return out;
}

// Fails unless reading `xml` as `trial` asks gives the same rows and outcome
// both ways; true when the scan read it all.
bool readsAlike(const std::string& xml, const sheets::SheetReadTrial& trial) {
    auto quick = sheets::readSheetXml(xml, kStrings, ReadBy::Scan, trial);
    auto full = sheets::readSheetXml(xml, kStrings, ReadBy::FullParse, trial);
    EXPECT_EQ(describe(quick), describe(full))
        << "rows " << trial.first << "-" << trial.last << " x" << trial.columns
        << ", sink fails at " << trial.failAt << ", chunks of " << trial.chunk << ", in " << xml;
    return quick.scanned;
}

// Wherever the scan stops, the full parse goes on after the rows it sent:
// each row reaches the sink once, and errors, a failing sink and the rows
// asked for come out as the full parse alone gives them.
TEST(SheetScanRead, ReadsAsTheFullParseWhereverItHandsOver) {
    std::mt19937 rng(20261208);
    int scanned = 0, tries = 20000;
    for (int i = 0; i < tries; ++i) {
        sheets::SheetReadTrial trial;
        trial.first = 1 + static_cast<int32_t>(rng() % 3);
        trial.last = static_cast<int32_t>(rng() % 12);
        trial.columns = 1 + static_cast<int32_t>(rng() % 6);
        trial.failAt = rng() % 4 ? 0 : static_cast<int32_t>(rng() % 8);
        trial.chunk = 1 + rng() % 40;
        // A sheet of writers' shapes with, now and then, something the scan
        // does not read in a later row, so that it hands over midway.
        std::string xml = randomPart(rng);
        if (rng() % 3 == 0) {
            static const char* const kLater[] = {
                "<row r=\"9\"><c r=\"A9\" t=\"inlineStr\"><is><r><t>rich</t></r></is></c></row>",
                "<row r=\"9\"><!-- note --><c r=\"B9\"><v>9</v></c></row>",
                "<row r=\"9\"><c r=\"A9\" t=\"s\"><v>7</v></c></row>",
                "<row r=\"9\"><c r=\"A9\"><v>x</v></c></row>",
                "<row><c r=\"A9\"><v>1</v></c></row>"};
            size_t end = xml.rfind("</sheetData>");
            if (end != std::string::npos) xml.insert(end, kLater[rng() % 5]);
        }
        scanned += readsAlike(xml, trial);
    }
    EXPECT_GT(scanned, tries / 20);
}

TEST(SheetScanRead, ValuesComeAsTheFullParseGivesThem) {
    // References, line ends and escapes in every type, cut by every chunk size.
    const std::string xml =
        "<worksheet xmlns=\"" + kMainNs +
        "\"><sheetData><row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>a&amp;b\r\nc\rd&#x4E2D;"
        "</t></is></c><c r=\"B1\" t=\"str\"><v>_x000D__x0000_&lt;x&gt;</v></c><c r=\"C1\" "
        "t=\"s\"><v>2</v></c><c r=\"D1\"><v>&#49;.50</v></c><c r=\"E1\" t=\"b\"><v>1</v></c>"
        "<c r=\"F1\" t=\"e\"><v>#N/A</v></c><c r=\"G1\" t=\"d\"><v>2024-03-05</v></c>"
        "</row><row r=\"3\"><c r=\"B3\" s=\"0\"><v>-0.25</v></c></row></sheetData></worksheet>";
    for (size_t chunk = 1; chunk <= 40; ++chunk)
        EXPECT_TRUE(readsAlike(xml, {1, 5, 8, 0, chunk})) << chunk;
}

TEST(SheetSizeScan, ChunksMayEndAnywhere) {
    const std::string xml =
        "\xEF\xBB\xBF<?xml version=\"1.0\"?><!-- by hand -->\r\n<worksheet xmlns=\"" + kMainNs +
        "\" xmlns:x14ac=\"urn:ac\"><dimension ref=\"A1:D2\"/><sheetData><row r=\"1\" "
        "x14ac:dyDescent='0.25'><c r=\"A1\" t=\"s\"><v>2</v></c><c r=\"B1\" t=\"s\"><v>1</v></c>"
        "</row><row r=\"2\"><c r=\"C2\"><f>A1&amp;&#x42;1</f><v>12</v></c><c r=\"D2\" "
        "t=\"inlineStr\"><is><t xml:space=\"preserve\">_x0000_&lt;</t></is></c></row></sheetData>"
        "</worksheet>";
    for (size_t cut = 0; cut <= xml.size(); ++cut) {
        std::vector<size_t> ends = {1, 1, 2, 2};
        SheetSizeScan scan(ends);
        if (scan.feed(xml.substr(0, cut))) scan.feed(xml.substr(cut));
        auto size = scan.size();
        ASSERT_TRUE(size.has_value()) << "cut at " << cut;
        EXPECT_EQ(std::pair(size->rows, size->columns), std::pair(2, 4)) << "cut at " << cut;
    }
}

// libxlsxwriter's shapes (shared strings, and inline strings in its
// constant-memory mode); other writers' are checked with their values.
TEST(SheetSizeScan, WritersPartsTakeTheQuickWay) {
    TempDir dir;
    const std::string head =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<worksheet xmlns=\"" +
        kMainNs + "\" xmlns:r=\"" + kRelNs +
        "\"><dimension ref=\"A1:C2\"/><sheetViews><sheetView "
        "tabSelected=\"1\" workbookViewId=\"0\"/></sheetViews><sheetFormatPr "
        "defaultRowHeight=\"15\"/><sheetData>";
    writePackage(dir / "lxw.xlsx",
                 xlsxParts({head + "<row r=\"1\" spans=\"1:3\"><c r=\"A1\" t=\"s\"><v>0</v>"
                                   "</c><c r=\"C1\"><v>1.5</v></c></row></sheetData>"
                                   "<pageMargins left=\"0.7\"/></worksheet>",
                            head + "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>列0</t>"
                                   "</is></c></row><row r=\"2\"><c r=\"B2\"><v>10</v></c>"
                                   "</row></sheetData></worksheet>"},
                           "", "<si><t>x</t></si>"));
    for (int number : {1, 2}) EXPECT_TRUE(scanAgrees(dir / "lxw.xlsx", number)) << number;
}

// An .xlsx at `out` of `rows` rows, two columns wide.
void writeRows(const std::filesystem::path& out, int rows) {
    writePackage(out,
                 xlsxParts({worksheet(repeat("<row><c><v>1</v></c><c><v>2</v></c></row>", rows))}));
}

SheetSize sizeOf(const std::filesystem::path& path) {
    auto book = openWorkbookFile(path);
    auto sheet = book ? (*book)->worksheet(1) : book.error();
    EXPECT_TRUE(sheet.ok()) << path;
    return sheet ? (*sheet)->size() : SheetSize{};
}

TEST(SheetSizes, AChangedFileIsMeasuredAgain) {
    TempDir dir;
    auto file = dir / "grow.xlsx";
    writeRows(file, 3);
    EXPECT_EQ(sizeOf(file).rows, 3);
    auto remembered = sheets::cachedSize(sheets::FileIdentity::of(file), 0);
    EXPECT_EQ(remembered ? remembered->rows : -1, 3);
    // The same file version is not measured again: what is remembered serves.
    sheets::rememberSize(sheets::FileIdentity::of(file), 0, SheetSize{99, 2});
    EXPECT_EQ(sizeOf(file).rows, 99);
    writeRows(file, 7);
    EXPECT_EQ(sizeOf(file).rows, 7);
    writeRows(dir / "other.xlsx", 2);
    EXPECT_EQ(sizeOf(dir / "other.xlsx").rows, 2);
    EXPECT_EQ(sizeOf(file).columns, 2);
}

}  // namespace
}  // namespace tabrovin::testing
