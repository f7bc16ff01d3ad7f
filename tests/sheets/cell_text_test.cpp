// How non-text cell values read as text, the same for every reader.
#include "platform/cell_text.h"

#include <gtest/gtest.h>

#include "platform/sheets/cell_address.h"
#include "tests/support/test_support.h"

using namespace tabrovin::cell_text;

TEST(CellText, NumbersDatesAndTimesInTheChineseDefaultForm) {
    const std::pair<double, const char*> numbers[] = {
        {-0.0, "0"},         {-42, "-42"},    {13800138000.0, "13800138000"},
        {0.1 + 0.2, "0.3"},  // at most 15 significant digits
        {1.5e-7, "1.5E-07"}, {1e20, "1E+20"}, {999999999999999.0, "999999999999999"}};
    for (auto [value, text] : numbers) EXPECT_EQ(number(value), text) << value;
    // Numbers as .xlsx and .ods store them: whole ones skip the double.
    for (const char* written : {"0", "-0", "007", "-12", "999999999999999", "1000000000000000",
                                "+5", " 6", "1.50", "2E3", "1e20", "-0.0"}) {
        double v = 0;
        std::string shown;
        ASSERT_TRUE(tabrovin::sheets::parseXmlNumber(written, v)) << written;
        EXPECT_TRUE(tabrovin::sheets::xmlNumberText(written, shown) && shown == number(v))
            << written << " -> " << shown;
    }
    std::string none;
    for (const char* bad : {"", "-", "12a", "1,5", "--1"})
        EXPECT_FALSE(tabrovin::sheets::xmlNumberText(bad, none)) << bad;
    const std::tuple<double, DateKind, const char*> dates[] = {
        {45356, DateKind::Date, "2024/3/5"},
        {45356 + 14.5 / 24, DateKind::DateTime, "2024/3/5 14:30"},
        {14.5 / 24, DateKind::Time, "14:30:00"},
        {60, DateKind::Date, "1900/2/29"},  // the 1900 system's phantom day
        {61, DateKind::Date, "1900/3/1"},
        {45356.9999999, DateKind::DateTime, "2024/3/6 0:00"},  // rounds to the second
        // Elapsed formats count whole days into their first unit; a clock time drops them.
        {1.5, DateKind::ElapsedMinutes, "2160:00"},
        {1.5, DateKind::ElapsedSeconds, "129600"},
        {2 + 3.5 / 24 + 7.0 / 86400, DateKind::ElapsedHours, "51:30:07"},
        {1.0 / 24 + 61.0 / 86400, DateKind::ElapsedMinutes, "61:01"},
        {1.5, DateKind::Time, "12:00:00"}};
    for (auto [serial, kind, text] : dates) EXPECT_EQ(date(serial, kind), text) << serial;
}

// Colour sections start with letters that also name time units; only a
// bracket holding one repeated h, m or s is elapsed time.
TEST(CellText, FormatCodesThatMeanDates) {
    for (auto [id, kind] : {std::pair{14, DateKind::Date},
                            {22, DateKind::DateTime},
                            {20, DateKind::Time},
                            {2, DateKind::None},
                            {46, DateKind::ElapsedHours}})
        EXPECT_EQ(classifyBuiltinFormat(id), kind) << id;
    const std::pair<const char*, DateKind> codes[] = {{"yyyy/m/d", DateKind::Date},
                                                      {"h:mm", DateKind::Time},
                                                      {"yyyy-mm-dd hh:mm", DateKind::DateTime},
                                                      {"[h]:mm", DateKind::ElapsedHours},
                                                      {"[HH]:mm:ss", DateKind::ElapsedHours},
                                                      {"[m]:ss", DateKind::ElapsedMinutes},
                                                      {"[s]", DateKind::ElapsedSeconds},
                                                      {"[Magenta]h:mm", DateKind::Time},
                                                      {"[Red][h]:mm", DateKind::ElapsedHours}};
    for (auto [code, kind] : codes) EXPECT_EQ(classifyFormat(code), kind) << code;
    for (const char* code :
         {"General", "0.00E+00", "[Red]0.00;\"day\"", "[Magenta]General", "[Color 10]0",
          "[Black]#,##0;[Red]-#,##0", "[$-804]0.00", "[>=100][Magenta]0;[Blue]0", "[Hm]0"})
        EXPECT_EQ(classifyFormat(code), DateKind::None) << code;
}

// The window adopts the user's locale, the batch command does not: both must
// read and write numbers alike.
TEST(CellText, NumbersReadAndWriteIgnoringTheLocalesDecimalComma) {
    tabrovin::testing::CommaLocale locale;
    if (!locale.active()) GTEST_SKIP() << "no comma-decimal locale: " << locale.why();
    EXPECT_EQ(number(1.5e-7), "1.5E-07");
    double read = 0, readExp = 0, readComma = 0;  // as .xlsx and .ods cells store numbers
    EXPECT_TRUE(tabrovin::sheets::parseXmlNumber("1.5", read) && read == 1.5) << read;
    EXPECT_TRUE(tabrovin::sheets::parseXmlNumber(" +2.5E-1", readExp) && readExp == 0.25)
        << readExp;
    EXPECT_FALSE(tabrovin::sheets::parseXmlNumber("1,5", readComma));
    // Dates and times as .xlsx and .ods store them, with fractions of a second.
    using tabrovin::sheets::isoDateText, tabrovin::sheets::isoDurationText;
    EXPECT_EQ(isoDateText("2024-03-05T14:30:59.5"), "2024/3/5 14:30");
    EXPECT_EQ(isoDurationText("PT25H01M02.5S"), "25:01:03");
    for (const char* other : {"PT1H2M3,5S", "PT1H2M", "PT1H2M1e300S", "2024-13-01"})
        EXPECT_EQ(other[0] == 'P' ? isoDurationText(other) : isoDateText(other), other);
}
