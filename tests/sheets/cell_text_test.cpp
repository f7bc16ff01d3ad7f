// How non-text cell values read as text, the same for every reader.
#include "platform/cell_text.h"

#include <gtest/gtest.h>

#include <clocale>

#include "platform/sheets/cell_address.h"
#include "tests/support/test_support.h"

using namespace tabrovin::cell_text;

TEST(CellText, NumbersReadAsASpreadsheetShowsThem) {
    EXPECT_EQ(number(3.0), "3");
    EXPECT_EQ(number(-0.0), "0");
    EXPECT_EQ(number(-42), "-42");
    EXPECT_EQ(number(13800138000.0), "13800138000");
    EXPECT_EQ(number(999999999999999.0), "999999999999999");
    EXPECT_EQ(number(0.1), "0.1");
    EXPECT_EQ(number(0.1 + 0.2), "0.3");  // at most 15 significant digits
    EXPECT_EQ(number(1234.5), "1234.5");
    EXPECT_EQ(number(1.5e-7), "1.5E-07");
    EXPECT_EQ(number(1e20), "1E+20");
}

TEST(CellText, DatesAndTimesInTheChineseDefaultForm) {
    EXPECT_EQ(date(45356, DateKind::Date), "2024/3/5");
    EXPECT_EQ(date(45356 + 14.5 / 24, DateKind::DateTime), "2024/3/5 14:30");
    EXPECT_EQ(date(14.5 / 24, DateKind::Time), "14:30:00");
    EXPECT_EQ(date(60, DateKind::Date), "1900/2/29");  // the 1900 system's phantom day
    EXPECT_EQ(date(61, DateKind::Date), "1900/3/1");
    EXPECT_EQ(date(1, DateKind::Date), "1900/1/1");
    EXPECT_EQ(date(0, DateKind::Date, true), "1904/1/1");
    EXPECT_EQ(date(45356.9999999, DateKind::DateTime), "2024/3/6 0:00");  // rounds to the second
}

TEST(CellText, FormatCodesThatMeanDates) {
    EXPECT_EQ(classifyBuiltinFormat(14), DateKind::Date);
    EXPECT_EQ(classifyBuiltinFormat(22), DateKind::DateTime);
    EXPECT_EQ(classifyBuiltinFormat(20), DateKind::Time);
    EXPECT_EQ(classifyBuiltinFormat(2), DateKind::None);
    EXPECT_EQ(classifyFormat("yyyy/m/d"), DateKind::Date);
    EXPECT_EQ(classifyFormat("yyyy\"年\"m\"月\"d\"日\""), DateKind::Date);
    EXPECT_EQ(classifyFormat("h:mm"), DateKind::Time);
    EXPECT_EQ(classifyFormat("[h]:mm:ss"), DateKind::ElapsedHours);
    EXPECT_EQ(classifyFormat("yyyy-mm-dd hh:mm"), DateKind::DateTime);
    EXPECT_EQ(classifyFormat("General"), DateKind::None);
    EXPECT_EQ(classifyFormat("0.00E+00"), DateKind::None);
    EXPECT_EQ(classifyFormat("[Red]0.00;\"day\""), DateKind::None);
    EXPECT_EQ(stripNul(std::string("a\0b", 3)), "ab");
}

// Colour sections start with letters that also name time units; only a
// bracket holding one repeated h, m or s is elapsed time.
TEST(CellText, ColourSectionsAreNotTimes) {
    for (const char* code :
         {"[Magenta]0", "[Magenta]General", "[Red]0.00", "[Color10]0", "[Color 10]0",
          "[Black]#,##0;[Red]-#,##0", "[$-804]0.00", "[>=100][Magenta]0;[Blue]0", "[Hm]0"}) {
        EXPECT_EQ(classifyFormat(code), DateKind::None) << code;
    }
    EXPECT_EQ(classifyFormat("[Magenta]h:mm"), DateKind::Time);
    EXPECT_EQ(classifyFormat("[Red][h]:mm"), DateKind::ElapsedHours);
}

// Elapsed formats count whole days into their first unit; 1.5 days is
// 36 hours, 2160 minutes, 129600 seconds.
TEST(CellText, ElapsedTimeKeepsWholeDays) {
    EXPECT_EQ(classifyFormat("[h]:mm"), DateKind::ElapsedHours);
    EXPECT_EQ(classifyFormat("[HH]:mm:ss"), DateKind::ElapsedHours);
    EXPECT_EQ(classifyFormat("[m]:ss"), DateKind::ElapsedMinutes);
    EXPECT_EQ(classifyFormat("[mm]:ss.00"), DateKind::ElapsedMinutes);
    EXPECT_EQ(classifyFormat("[s]"), DateKind::ElapsedSeconds);
    EXPECT_EQ(classifyFormat("[ss]"), DateKind::ElapsedSeconds);
    EXPECT_EQ(classifyBuiltinFormat(46), DateKind::ElapsedHours);
    EXPECT_EQ(date(1.5, DateKind::ElapsedHours), "36:00:00");
    EXPECT_EQ(date(1.5, DateKind::ElapsedMinutes), "2160:00");
    EXPECT_EQ(date(1.5, DateKind::ElapsedSeconds), "129600");
    EXPECT_EQ(date(0, DateKind::ElapsedHours), "0:00:00");
    EXPECT_EQ(date(2 + 3.5 / 24 + 7.0 / 86400, DateKind::ElapsedHours), "51:30:07");
    EXPECT_EQ(date(1.0 / 24 + 61.0 / 86400, DateKind::ElapsedMinutes), "61:01");
    EXPECT_EQ(date(1.5, DateKind::Time), "12:00:00");  // a clock time drops the days
}

TEST(CellText, NumbersReadAndWriteIgnoringTheLocalesDecimalComma) {
    // A locale with a decimal comma, made for this test (the window adopts
    // the user's locale, the batch command does not: both must agree).
    tabrovin::testing::TempDir dir;
    auto made =
        tabrovin::testing::run("localedef -i de_DE -f UTF-8 " +
                               tabrovin::testing::shellQuote((dir / "de_DE.UTF-8").string()));
    if (made.exitCode != 0) GTEST_SKIP() << "localedef is not available: " << made.output;
    setenv("LOCPATH", dir.path().c_str(), 1);
    ASSERT_NE(std::setlocale(LC_NUMERIC, "de_DE.UTF-8"), nullptr);
    std::string text = number(1.5), big = number(1.5e-7);
    double read = 0, readExp = 0, readComma = 0;  // as .xlsx and .ods cells store numbers
    bool readOk = tabrovin::sheets::parseXmlNumber("1.5", read);
    bool expOk = tabrovin::sheets::parseXmlNumber(" +2.5E-1", readExp);
    bool commaOk = tabrovin::sheets::parseXmlNumber("1,5", readComma);
    std::setlocale(LC_NUMERIC, "C");
    unsetenv("LOCPATH");
    EXPECT_EQ(text, "1.5");
    EXPECT_EQ(big, "1.5E-07");
    EXPECT_TRUE(readOk && read == 1.5) << read;
    EXPECT_TRUE(expOk && readExp == 0.25) << readExp;
    EXPECT_FALSE(commaOk);
}
