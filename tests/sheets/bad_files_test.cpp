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

#include "platform/xls/compound_file.h"
#include "tests/sheets/package_util.h"

namespace tabrovin::testing {
namespace {

TEST(BadFiles, NotWorkbooksGiveTheirErrorNumbers) {
    TempDir dir;
    std::mt19937 gen(7);
    std::string noise(5000, '\0');
    for (auto& c : noise) c = static_cast<char>(gen());
    writeFile(dir / "noise.xls", noise);
    writeFile(dir / "empty.xlsx", "");
    writePackage(dir / "other.xlsx", {{"readme.txt", "hello"}, {"mimetype", "application/zip"}});
    writePackage(dir / "locked.ods", {{"mimetype", kOdsMime},
                                      {"META-INF/manifest.xml",
                                       R"(<manifest:manifest xmlns:manifest=")"
                                       R"(urn:oasis:names:tc:opendocument:xmlns:manifest:1.0">)"
                                       R"(<manifest:file-entry manifest:full-path="content.xml">)"
                                       R"(<manifest:encryption-data manifest:checksum="x"/>)"
                                       "</manifest:file-entry></manifest:manifest>"},
                                      {"content.xml", "binary"}});
    // The two streams Excel writes in a compound file for a password-protected .xlsx.
    const std::vector<uint8_t> streamBytes = {4, 0, 4, 0};
    ASSERT_TRUE(xls::writeCompoundFile(dir / "locked.xlsx", {{"EncryptionInfo", streamBytes},
                                                             {"EncryptedPackage", streamBytes}})
                    .ok());
    const std::tuple<const char*, int, const char*> cases[] = {
        {"没有.xlsx", err::kFileNotFound, "找不到文件"},
        {"", err::kFileAccess, "这是文件夹"},
        {"empty.xlsx", err::kNotWorkbook, "文件是空的"},
        {"noise.xls", err::kNotWorkbook, "无法识别的文件格式"},
        {"other.xlsx", err::kNotWorkbook, "既没有 Excel 工作簿也没有 OpenDocument"},
        {"locked.ods", err::kEncryptedWorkbook, "有密码保护"},
        {"locked.xlsx", err::kEncryptedWorkbook, "有密码保护"}};
    for (auto [name, number, words] : cases)
        EXPECT_TRUE(failsWith(readFailure(dir / name), number, words)) << name;
    // Text under a workbook's name is read as CSV, by its content.
    writeFile(dir / "文本.xlsx", "甲,乙\n1,2\n");
    EXPECT_EQ(readSheet(dir / "文本.xlsx"), (Grid{{"甲", "乙"}, {"1", "2"}}));
}

TEST(BadFiles, TruncatedZipsAndCorruptXmlAreDamaged) {
    TempDir dir;
    std::string rows;
    for (int i = 0; i < 300; ++i) rows += "<row><c><v>" + std::to_string(i) + "</v></c></row>";
    writePackage(dir / "full.xlsx", xlsxParts({worksheet(rows)}, "", "", kDateXf));
    const std::string bytes = readFile(dir / "full.xlsx");
    for (double part : {0.02, 0.3, 0.6, 0.9, 0.999}) {
        writeFile(dir / "cut.xlsx", bytes.substr(0, size_t(bytes.size() * part)));
        EXPECT_EQ(readFailure(dir / "cut.xlsx").number, err::kDamagedWorkbook) << "cut at " << part;
    }
    // Damage inside a part large enough to be inflated on a second thread.
    rows.clear();
    for (int i = 0; i < 200000; ++i) rows += "<row><c><v>" + std::to_string(i) + "</v></c></row>";
    writePackage(dir / "big.xlsx", xlsxParts({worksheet(rows)}));
    std::string big = readFile(dir / "big.xlsx");
    size_t data = big.find("xl/worksheets/sheet1.xml") + 50000;
    ASSERT_LT(data + 64, big.find("xl/workbook.xml"));
    big.replace(data, 64, 64, '\xFF');
    writeFile(dir / "big.xlsx", big);
    EXPECT_TRUE(failsWith(readFailure(dir / "big.xlsx"), err::kDamagedWorkbook, "无法解压"));
    const std::string cell = R"(<worksheet><sheetData><row r="1"><c r="A1")";
    const std::string end = "</c></row></sheetData></worksheet>";
    const std::pair<std::string, const char*> sheets[] = {
        {cell + "><v>1</v></c></row>", "没有结束"},
        {cell + "><v>1</x>" + end, "与开始标记不匹配"},
        {cell + R"( t="s"><v>5</v>)" + end, "不存在的共享字符串"},
        {cell + "><v>&bogus;</v>" + end, "无效的字符引用"},
        {R"(<!DOCTYPE x [<!ENTITY a "b">]><worksheet/>)", "不支持 DOCTYPE"}};
    for (const auto& [sheet, words] : sheets)
        EXPECT_TRUE(failsWith(partsFailure(xlsxParts({sheet})), err::kDamagedWorkbook, words));
    // A cell error names the sheet, row and column.
    EXPECT_TRUE(failsWith(
        partsFailure(xlsxParts({worksheet(R"(<row r="4"><c r="C4"><v>abc</v></c></row>)")})),
        err::kCellConversion, "工作表“S&1”第 4 行第 3 列"));
}

#ifndef _WIN32
TEST(BadFiles, PipesAndDevicesAreRefusedWithoutWaiting) {
    TempDir dir;
    const auto fifo = dir / "管道.csv";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto opening = std::async(std::launch::async, [&] { return readFailure(fifo); });
    if (opening.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
        int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);  // lets the reader go
        if (writer >= 0) ::close(writer);
        ADD_FAILURE() << "opening a pipe waited for a writer";
    }
    EXPECT_TRUE(failsWith(opening.get(), err::kFileAccess, "不是普通文件"));
    EXPECT_EQ(readFailure("/dev/null").number, err::kFileAccess);
}
#endif

TEST(XlsxDetails, InlineStringsDate1904AndSparseRows) {
    EXPECT_EQ(readParts(xlsxParts({worksheet(R"(
<row r="2"><c r="B2" t="inlineStr"><is><t>内联</t><r><t xml:space="preserve"> 文字</t></r></is></c>
<c r="C2" t="e"><v>#REF!</v></c></row>
<row r="5"><c r="A5" s="1"><v>0</v></c><c r="D5" t="b"><v>1</v></c></row>)")},
                                  R"(<workbookPr date1904="1"/>)", "", kDateXf)),
              (Grid{{"", "", "", ""},
                    {"", "内联 文字", "#REF!", ""},
                    {"", "", "", ""},
                    {"", "", "", ""},
                    {"1904/1/1", "", "", "TRUE"}}));
    // A cell keeps the first 32,767 characters, as many as a spreadsheet cell holds.
    const std::string text = repeat("字", 35000);
    EXPECT_EQ(readParts(xlsxParts({worksheet("<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>" +
                                             text + "</t></is></c></row>")})),
              (Grid{{text.substr(0, 3 * 32767)}}));
}

}  // namespace
}  // namespace tabrovin::testing
