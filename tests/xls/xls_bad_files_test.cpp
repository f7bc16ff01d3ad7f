// Files that are not .xls workbooks, or damaged, locked or too old ones:
// each gives its error number and a message, never a crash or a hang.

#include <gtest/gtest.h>

#include <random>

#include "platform/xls/biff_workbook.h"
#include "platform/xls/compound_file.h"
#include "tests/xls/biff_builder.h"
#include "tests/xls/xls_test_util.h"

namespace tabrovin::xls {
namespace {
namespace fs = std::filesystem;
using testutil::Bytes;

int openError(const fs::path& p) {
    auto book = openXlsWorkbook(p);
    if (book.ok()) return 0;
    EXPECT_FALSE(book.error().description.empty());
    return book.error().number;
}

fs::path wrap(const testing::TempDir& dir, const std::string& name, const Bytes& stream,
              const std::string& streamName = "Workbook") {
    fs::path p = dir / name;
    // The status is not checked: writeCompoundFile currently reports a
    // failure after writing a sound file (it closes libgsf's sink twice).
    // Reading the stream back is the check that matters here.
    (void)writeCompoundFile(p, {{streamName, stream}});
    auto back = readCompoundFile(p);
    EXPECT_TRUE(back.ok() && back->size() == 1 && back->front().data == stream);
    return p;
}

// A small valid workbook: two sheets of text and numbers.
testutil::StreamBuilder sampleBook() {
    testutil::StreamBuilder b;
    Bytes sst;
    put32(sst, 2);
    put32(sst, 2);
    testutil::append(sst, testutil::unicodeString("姓名"));
    testutil::append(sst, testutil::unicodeString("张三"));
    b.globals = {{rec::kSst, sst}};
    std::vector<testutil::Rec> s1, s2;
    for (uint16_t r = 0; r < 20; ++r) {
        Bytes l = testutil::cellHead(r, 0), n = testutil::cellHead(r, 1);
        put32(l, r % 2);
        testutil::putDouble(n, r + 0.25);
        s1.push_back({rec::kLabelSst, l});
        s1.push_back({rec::kNumber, n});
    }
    Bytes lab = testutil::cellHead(4, 2);
    testutil::append(lab, testutil::unicodeString("第二张"));
    s2.push_back({rec::kLabel, lab});
    b.sheets = {s1, s2};
    return b;
}

TEST(BadFiles, NotWorkbooksAtAll) {
    testing::TempDir dir;
    testing::writeFile(dir / "empty.xls", "");
    std::mt19937 rng(7);
    std::string noise(5000, '\0');
    for (char& c : noise) c = static_cast<char>(rng());
    testing::writeFile(dir / "noise.xls", noise);
    testing::writeFile(dir / "text.xls", "姓名,电话\n张三,13800138000\n");
    auto zip = testing::runPython(
        "import sys, zipfile\n"
        "with zipfile.ZipFile(sys.argv[1], 'w') as z: z.writestr('a.txt', 'hello')\n",
        testing::shellQuote((dir / "zip.xls").string()));
    ASSERT_EQ(zip.exitCode, 0) << zip.output;
    for (const char* name : {"empty.xls", "noise.xls", "text.xls", "zip.xls"})
        EXPECT_EQ(openError(dir / name), err::kNotWorkbook) << name;
    EXPECT_EQ(openError(dir / "missing.xls"), err::kFileNotFound);
    // A compound file holding something else than a workbook.
    EXPECT_EQ(openError(wrap(dir, "other.xls", {1, 2, 3}, "WordDocument")), err::kNotWorkbook);
    // A workbook stream that does not start with BOF.
    EXPECT_EQ(openError(wrap(dir, "nobof.xls", Bytes(100, 0x41))), err::kNotWorkbook);
}

TEST(BadFiles, EncryptedAndOldFormats) {
    testing::TempDir dir;
    testutil::StreamBuilder locked = sampleBook();
    locked.globals.insert(locked.globals.begin(), {rec::kFilePass, Bytes(54, 0x11)});
    auto book = openXlsWorkbook(wrap(dir, "locked.xls", locked.build()));
    ASSERT_FALSE(book.ok());
    EXPECT_EQ(book.error().number, err::kEncryptedWorkbook);
    EXPECT_NE(book.error().description.find("密码"), std::string::npos);

    for (uint16_t type : {rec::kBof2, rec::kBof3, rec::kBof4}) {
        RecordWriter w;
        w.write(type, Bytes{0x00, 0x00, 0x10, 0x00, 0, 0});
        w.write(rec::kEof, {});
        auto old = parseWorkbookStream(w.bytes());
        ASSERT_FALSE(old.ok());
        EXPECT_EQ(old.error().number, err::kUnsupportedWorkbook);
        EXPECT_NE(old.error().description.find("Excel"), std::string::npos);
    }
    testutil::StreamBuilder oldVersion = sampleBook();
    oldVersion.version = 0x0400;  // a BIFF5/8-style BOF with an older version
    EXPECT_EQ(openError(wrap(dir, "v4.xls", oldVersion.build())), err::kUnsupportedWorkbook);
}

// Every prefix of a valid stream is refused: at opening when the cut is in
// the workbook globals, when the sheet is taken when it is in a sheet.
TEST(BadFiles, EveryTruncatedStreamIsAnError) {
    Bytes full = sampleBook().build();
    ASSERT_TRUE(parseWorkbookStream(full).ok());
    for (size_t cut = 0; cut < full.size(); ++cut) {
        auto book = parseWorkbookStream(Bytes(full.begin(), full.begin() + cut));
        if (!book.ok()) {
            int want = cut < 4 ? err::kNotWorkbook : err::kDamagedWorkbook;
            EXPECT_EQ(book.error().number, want) << "cut at " << cut;
            continue;
        }
        auto s1 = (*book)->worksheet(1), s2 = (*book)->worksheet(2);
        ASSERT_FALSE(s1.ok() && s2.ok()) << "cut at " << cut;
        const auto& e = s2.ok() ? s1.error() : s2.error();
        EXPECT_EQ(e.number, err::kDamagedWorkbook);
        EXPECT_NE(e.description.find(s2.ok() ? "工作表 1" : "工作表 2"), std::string::npos)
            << e.description;
    }
}

TEST(BadFiles, TruncatedFilesOnDisk) {
    testing::TempDir dir;
    testutil::StreamBuilder big = sampleBook();
    for (uint16_t r = 100; r < 1500; ++r) {  // past the 4 KiB small-stream limit
        Bytes n = testutil::cellHead(r, 3);
        testutil::putDouble(n, r);
        big.sheets[0].push_back({rec::kNumber, n});
    }
    Bytes stream = big.build();
    std::string whole = testing::readFile(wrap(dir, "whole.xls", stream));
    ASSERT_EQ(testutil::readBook(dir / "whole.xls").size(), 2u);
    for (size_t cut :
         {size_t(100), size_t(512), size_t(1000), whole.size() / 2, whole.size() - 600}) {
        testing::writeFile(dir / "cut.xls", whole.substr(0, cut));
        auto book = openXlsWorkbook(dir / "cut.xls");
        if (!book.ok()) {
            EXPECT_TRUE(book.error().number == err::kNotWorkbook ||
                        book.error().number == err::kDamagedWorkbook)
                << cut << ": " << book.error().description;
            continue;
        }
        // The container may still open; the stream in it must then be whole
        // or refused, sheet by sheet.
        for (int n = 1; n <= (*book)->sheetCount(); ++n) {
            auto s = (*book)->worksheet(n);
            if (!s.ok()) {
                EXPECT_EQ(s.error().number, err::kDamagedWorkbook);
            }
        }
    }
    // The stream itself cut in a sheet, then re-wrapped in a sound container.
    fs::path p = wrap(dir, "short.xls", Bytes(stream.begin(), stream.end() - 40));
    auto book = openXlsWorkbook(p);
    ASSERT_TRUE(book.ok());
    auto s = (*book)->worksheet(2);
    ASSERT_FALSE(s.ok());
    EXPECT_EQ(s.error().number, err::kDamagedWorkbook);
}

Error sheetError(const testutil::StreamBuilder& b, int sheet = 1) {
    auto book = parseWorkbookStream(b.build());
    if (!book.ok()) return book.error();
    auto s = (*book)->worksheet(sheet);
    return s.ok() ? Error{} : s.error();
}

TEST(BadFiles, InconsistentRecordsNameTheSheetRowAndColumn) {
    testutil::StreamBuilder b = sampleBook();
    Bytes bad = testutil::cellHead(4, 2);  // row 5, column 3
    put32(bad, 2);                         // only strings 0 and 1 exist
    b.sheets[1].push_back({rec::kLabelSst, bad});
    Error e = sheetError(b, 2);
    EXPECT_EQ(e.number, err::kDamagedWorkbook);
    EXPECT_NE(e.description.find("工作表 2 第 5 行第 3 列"), std::string::npos) << e.description;

    b = sampleBook();
    b.sheets[0].push_back({rec::kNumber, testutil::cellHead(9, 1)});  // no value
    e = sheetError(b);
    EXPECT_EQ(e.number, err::kDamagedWorkbook);
    EXPECT_NE(e.description.find("工作表 1 第 10 行第 2 列"), std::string::npos) << e.description;

    b = sampleBook();
    Bytes wide = testutil::cellHead(0, 300);
    testutil::putDouble(wide, 1);
    b.sheets[0].push_back({rec::kNumber, wide});
    EXPECT_EQ(sheetError(b).number, err::kDamagedWorkbook);

    b = sampleBook();
    Bytes label = testutil::cellHead(1, 1);
    put16(label, 50000);  // 50000 characters announced, none there
    label.push_back(1);
    b.sheets[0].push_back({rec::kLabel, label});
    e = sheetError(b);
    EXPECT_EQ(e.number, err::kDamagedWorkbook);
    EXPECT_NE(e.description.find("第 2 行第 2 列"), std::string::npos) << e.description;
}

TEST(BadFiles, SheetDirectoryPointingAnywhere) {
    Bytes stream = sampleBook().build();
    // BOUNDSHEET offsets sit right after the BOF and SST records.
    RecordReader reader(stream);
    Record r;
    size_t at = 0;
    while (reader.next(r, false))
        if (r.type == rec::kBoundSheet && !at) at = r.offset + 4;
    ASSERT_NE(at, 0u);
    for (uint32_t target : {0xFFFFFFF0u, static_cast<uint32_t>(stream.size()), 0u, 3u}) {
        Bytes s = stream;
        for (int k = 0; k < 4; ++k) s[at + k] = static_cast<uint8_t>(target >> (8 * k));
        auto book = parseWorkbookStream(s);
        Error e = book.ok() ? (*book)->worksheet(1).status().error() : book.error();
        EXPECT_EQ(e.number, err::kDamagedWorkbook) << target;
        EXPECT_NE(e.description.find("工作表 1"), std::string::npos) << e.description;
    }
}

}  // namespace
}  // namespace tabrovin::xls
