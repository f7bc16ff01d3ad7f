// Files that are not workbooks or are damaged: each gives its error number
// and a description, never a crash or a hang.

#include <gtest/gtest.h>

#include <random>

#include "tests/sheets/sheet_test_util.h"
#include "tests/support/test_support.h"

namespace tabrovin::testing {
namespace {

// Writes a zip of the given parts with Python's zipfile (an independent writer).
void writeZip(const std::filesystem::path& path, const std::string& partsPython) {
    std::string script =
        "import sys, zipfile\nz = zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED)\n"
        "for name, data in " +
        partsPython + ":\n    z.writestr(name, data)\nz.close()\n";
    auto r = runPython(script, shellQuote(path.string()));
    ASSERT_EQ(r.exitCode, 0) << r.output;
}

const char* kMinimalXlsxParts = R"([
 ('[Content_Types].xml', '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types"/>'),
 ('xl/workbook.xml', '<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"><sheets><sheet name="S&amp;1" sheetId="1" r:id="rId1"/></sheets></workbook>'),
 ('xl/_rels/workbook.xml.rels', '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet1.xml"/></Relationships>'),
 ('xl/worksheets/sheet1.xml', SHEET)])";

std::string xlsxParts(const std::string& sheetXml) {
    std::string parts = kMinimalXlsxParts;
    parts.replace(parts.find("SHEET"), 5, "'''" + sheetXml + "'''");
    return parts;
}

TEST(BadFiles, MissingEmptyRandomAndFolder) {
    TempDir dir;
    EXPECT_EQ(openError(dir / "没有.xlsx"), err::kFileNotFound);
    writeFile(dir / "empty.xlsx", "");
    EXPECT_EQ(openError(dir / "empty.xlsx"), err::kNotWorkbook);
    std::mt19937 gen(7);
    std::string noise(5000, '\0');
    for (auto& c : noise) c = static_cast<char>(gen());
    writeFile(dir / "noise.xls", noise);
    EXPECT_EQ(openError(dir / "noise.xls"), err::kNotWorkbook);
    EXPECT_EQ(openError(dir.path()), err::kFileAccess);
}

TEST(BadFiles, TextUnderWorkbookNameIsReadAsCsvByContent) {
    TempDir dir;
    writeFile(dir / "文本.xlsx", "甲,乙\n1,2\n");
    Grid g = readSheet(dir / "文本.xlsx");
    ASSERT_EQ(g.size(), 2u);
    EXPECT_EQ(g[0][1], "乙");
}

TEST(BadFiles, ZipThatIsNotAWorkbook) {
    TempDir dir;
    writeZip(dir / "other.xlsx", "[('readme.txt', 'hello'), ('mimetype', 'application/zip')]");
    EXPECT_EQ(openError(dir / "other.xlsx"), err::kNotWorkbook);
}

TEST(BadFiles, TruncatedZipAtSeveralPoints) {
    TempDir dir;
    auto r = runPython(R"(
import sys, openpyxl
wb = openpyxl.Workbook()
for i in range(300): wb.active.append([i, "文字%d" % i, i * 0.5])
wb.save(sys.argv[1])
)",
                       shellQuote((dir / "full.xlsx").string()));
    ASSERT_EQ(r.exitCode, 0) << r.output;
    std::string bytes = readFile(dir / "full.xlsx");
    for (double part : {0.02, 0.3, 0.6, 0.9, 0.999}) {
        SCOPED_TRACE(part);
        writeFile(dir / "cut.xlsx", bytes.substr(0, size_t(bytes.size() * part)));
        EXPECT_EQ(openError(dir / "cut.xlsx"), err::kDamagedWorkbook);
    }
}

TEST(BadFiles, CorruptXmlPartsAreDamaged) {
    TempDir dir;
    const char* sheets[] = {
        "<worksheet><sheetData><row r=\"1\"><c r=\"A1\"><v>1</v></c></row>",  // cut short
        "<worksheet><sheetData><row r=\"1\"><c r=\"A1\"><v>1</x></c></row></sheetData></worksheet>",
        "<worksheet><sheetData><row r=\"1\"><c r=\"A1\" "
        "t=\"s\"><v>5</v></c></row></sheetData></worksheet>",
        "<worksheet><sheetData><row r=\"1\"><c "
        "r=\"A1\"><v>&bogus;</v></c></row></sheetData></worksheet>",
        "<!DOCTYPE x [<!ENTITY a \"b\">]><worksheet/>",
    };
    for (const char* sheet : sheets) {
        SCOPED_TRACE(sheet);
        writeZip(dir / "bad.xlsx", xlsxParts(sheet));
        EXPECT_EQ(openError(dir / "bad.xlsx"), err::kDamagedWorkbook);
    }
}

TEST(BadFiles, CellErrorsNameSheetRowAndColumn) {
    TempDir dir;
    writeZip(dir / "bad.xlsx",
             xlsxParts("<worksheet><sheetData><row r=\"4\"><c r=\"C4\"><v>abc</v></c></row>"
                       "</sheetData></worksheet>"));
    auto book = openWorkbook(dir / "bad.xlsx");
    ASSERT_TRUE(book.ok());
    auto sheet = (*book)->worksheet(1);
    ASSERT_TRUE(sheet.ok());
    Status s = (*sheet)->readRows(
        1, 4, 3, [](int32_t, const std::vector<std::string>&) { return Status::Ok(); });
    ASSERT_FALSE(s.ok());
    EXPECT_EQ(s.error().number, err::kCellConversion);
    EXPECT_NE(s.error().description.find("工作表“S&1”第4行第3列"), std::string::npos)
        << s.error().description;
}

TEST(BadFiles, EncryptedOds) {
    TempDir dir;
    writeZip(dir / "locked.ods", R"([
 ('mimetype', 'application/vnd.oasis.opendocument.spreadsheet'),
 ('META-INF/manifest.xml', '<manifest:manifest xmlns:manifest="urn:oasis:names:tc:opendocument:xmlns:manifest:1.0"><manifest:file-entry manifest:full-path="content.xml"><manifest:encryption-data manifest:checksum="x"/></manifest:file-entry></manifest:manifest>'),
 ('content.xml', 'binary')])");
    EXPECT_EQ(openError(dir / "locked.ods"), err::kEncryptedWorkbook);
}

TEST(XlsxDetails, InlineStringsDate1904AndSparseRows) {
    TempDir dir;
    std::string parts = xlsxParts(
        "<worksheet><sheetData>"
        "<row r=\"2\"><c r=\"B2\" t=\"inlineStr\"><is><t>内联</t><r><t xml:space=\"preserve\"> "
        "文字</t></r></is></c>"
        "<c r=\"C2\" t=\"e\"><v>#REF!</v></c></row>"
        "<row r=\"5\"><c r=\"A5\" s=\"1\"><v>0</v></c><c r=\"D5\" t=\"b\"><v>1</v></c></row>"
        "</sheetData></worksheet>");
    parts.replace(parts.find("<sheets>"), 8, "<workbookPr date1904=\"1\"/><sheets>");
    parts.replace(parts.rfind(']'), 1,
                  ", ('xl/styles.xml', '<styleSheet><cellXfs><xf numFmtId=\"0\"/>"
                  "<xf numFmtId=\"14\"/></cellXfs></styleSheet>')]");
    parts.replace(parts.find("Target=\"worksheets/sheet1.xml\"/>"), 32,
                  "Target=\"worksheets/sheet1.xml\"/><Relationship Id=\"rId2\" "
                  "Type=\"http://x/styles\" Target=\"styles.xml\"/>");
    writeZip(dir / "a.xlsx", parts);
    Grid g = readSheet(dir / "a.xlsx");
    ASSERT_EQ(g.size(), 5u);
    EXPECT_EQ(g[0], (std::vector<std::string>{"", "", "", ""}));
    EXPECT_EQ(g[1], (std::vector<std::string>{"", "内联 文字", "#REF!", ""}));
    EXPECT_EQ(g[4], (std::vector<std::string>{"1904/1/1", "", "", "TRUE"}));
}

}  // namespace
}  // namespace tabrovin::testing
