#pragma once
// Hand-assembled .xlsx and .ods packages, for what only some writers produce.

#include <string>
#include <vector>

#include "platform/sheets/size_scan.h"
#include "tests/sheets/sheet_test_util.h"

namespace tabrovin::testing {

inline const std::string kOoxml = "http://schemas.openxmlformats.org/";
inline const std::string kMainNs = kOoxml + "spreadsheetml/2006/main";
inline const std::string kRelNs = kOoxml + "officeDocument/2006/relationships";

// <Relationship> of type `type` (last part of the type URI).
inline std::string relation(const std::string& id, const std::string& type,
                            const std::string& target) {
    return "<Relationship Id=\"" + id + "\" Type=\"" + kRelNs + "/" + type + "\" Target=\"" +
           target + "\"/>";
}

inline std::string relations(const std::string& body) {
    return "<Relationships xmlns=\"" + kOoxml + "package/2006/relationships\">" + body +
           "</Relationships>";
}

// A worksheet part in the main namespace holding `rows` inside <sheetData>.
inline std::string worksheet(const std::string& rows) {
    return "<worksheet xmlns=\"" + kMainNs + "\"><sheetData>" + rows + "</sheetData></worksheet>";
}

// The parts of a workbook of worksheets sheet1..N, named "S&1".., with
// `workbookExtra` before its sheet list, `strings` as its shared strings and
// `xfs` as its styles' cell formats.
inline Parts xlsxParts(const std::vector<std::string>& sheets,
                       const std::string& workbookExtra = "", const std::string& strings = "",
                       const std::string& xfs = "") {
    std::string list, rels;
    Parts parts;
    for (size_t i = 1; i <= sheets.size(); ++i) {
        std::string n = std::to_string(i);
        list += "<sheet name=\"S&amp;" + n + "\" sheetId=\"" + n + "\" r:id=\"rId" + n + "\"/>";
        rels += relation("rId" + n, "worksheet", "worksheets/sheet" + n + ".xml");
        parts.emplace_back("xl/worksheets/sheet" + n + ".xml", sheets[i - 1]);
    }
    if (!strings.empty()) {
        rels += relation("rIdS", "sharedStrings", "sharedStrings.xml");
        parts.emplace_back("xl/sharedStrings.xml",
                           "<sst xmlns=\"" + kMainNs + "\">" + strings + "</sst>");
    }
    if (!xfs.empty()) {
        rels += relation("rIdX", "styles", "styles.xml");
        parts.emplace_back("xl/styles.xml", "<styleSheet xmlns=\"" + kMainNs + "\"><cellXfs>" +
                                                xfs + "</cellXfs></styleSheet>");
    }
    parts.emplace_back("_rels/.rels",
                       relations(relation("rId1", "officeDocument", "xl/workbook.xml")));
    parts.emplace_back("xl/workbook.xml", "<workbook xmlns=\"" + kMainNs + "\" xmlns:r=\"" +
                                              kRelNs + "\">" + workbookExtra + "<sheets>" + list +
                                              "</sheets></workbook>");
    parts.emplace_back("xl/_rels/workbook.xml.rels", relations(rels));
    return parts;
}

// Cell formats General and a date (built-in format 14), as styles 0 and 1.
inline const std::string kDateXf = "<xf numFmtId=\"0\"/><xf numFmtId=\"14\"/>";

// Replaces the part `name` of `parts` (or adds it).
inline void setPart(Parts& parts, const std::string& name, const std::string& bytes) {
    for (auto& [n, b] : parts)
        if (n == name) {
            b = bytes;
            return;
        }
    parts.emplace_back(name, bytes);
}

// Sheet `number` of a package of `parts` written to a scratch file.
inline Grid readParts(const Parts& parts, int number = 1) {
    TempDir dir;
    writePackage(dir / "book.xlsx", parts);
    return readSheet(dir / "book.xlsx", number);
}

// The error of reading sheet `number` of such a package (number 0 if none).
inline Error partsFailure(const Parts& parts, int number = 1) {
    TempDir dir;
    writePackage(dir / "book.xlsx", parts);
    return readFailure(dir / "book.xlsx", nullptr, number);
}

inline const std::string kOdsMime = "application/vnd.oasis.opendocument.spreadsheet";

// An .ods package of one sheet holding `rows` (table-row elements), under the
// usual prefixes office:, table: and text:.
inline Parts odsParts(const std::string& rows) {
    const std::string ns = "=\"urn:oasis:names:tc:opendocument:xmlns:";
    return {{"mimetype", kOdsMime},
            {"content.xml", "<office:document-content xmlns:office" + ns + "office:1.0\"" +
                                " xmlns:table" + ns + "table:1.0\" xmlns:text" + ns +
                                "text:1.0\"><office:body><office:spreadsheet><table:table>" + rows +
                                "</table:table></office:spreadsheet></office:body>" +
                                "</office:document-content>"}};
}

// True when the quick scan both measured and read sheet `number` of the
// .xlsx at `path` itself; fails the test where it differs from the full parse.
inline bool scanAgrees(const std::filesystem::path& path, int number) {
    using sheets::MeasureBy, sheets::ReadBy;
    auto quick = sheets::readXlsxSheet(path, number, ReadBy::Scan);
    auto full = sheets::readXlsxSheet(path, number, ReadBy::FullParse);
    auto size = sheets::measureXlsxSheet(path, number, MeasureBy::Scan);
    auto fullSize = sheets::measureXlsxSheet(path, number, MeasureBy::FullParse);
    if (!quick || !full || !size || !fullSize || !*fullSize || !quick->status || !full->status) {
        ADD_FAILURE() << path << " sheet " << number << " could not be read";
        return false;
    }
    EXPECT_EQ(quick->rows, full->rows) << path;
    EXPECT_GT((*fullSize)->rows, 0) << path;
    const SheetSize told = size->value_or(**fullSize);
    EXPECT_EQ(std::pair(told.rows, told.columns),
              std::pair((*fullSize)->rows, (*fullSize)->columns))
        << path;
    return quick->scanned && size->has_value();
}

}  // namespace tabrovin::testing
