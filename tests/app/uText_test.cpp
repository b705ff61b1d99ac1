#include <gtest/gtest.h>

#include <QDateTime>
#include <QLocale>

#include "app/uText.h"

namespace {

// ---- Tokens and texts ----------------------------------------------------------------------

TEST(Tokens, FieldsAreSplitAtEverySeparator) {
    struct Case {
        const char* text;
        const char* separator;
        int count;
        int index;
        const char* token;
    };
    for (const Case& c :
         {Case{"a^^b", "^", 3, 1, ""}, Case{"a^^b", "^", 3, 2, "b"}, Case{"", "^", 1, 0, ""},
          Case{"a^b", "^", 2, 2, ""}, Case{"a^b", "^", 2, -1, ""}, Case{"x,y,z", ",", 3, 1, "y"},
          Case{"^lead", "^", 2, 0, ""}, Case{"a::::b", "::", 3, 2, "b"},
          Case{"a:::b", "::", 2, 1, ":b"}, Case{"a^b", "", 1, 0, "a^b"}}) {
        SCOPED_TRACE(testing::Message() << c.text << " / " << c.separator << " #" << c.index);
        EXPECT_EQ(TokenCount(c.text, c.separator), c.count);
        EXPECT_EQ(GetToken(c.index, c.text, c.separator), c.token);
        ScopedSeparator pushed(c.separator);
        EXPECT_EQ(TokenCount(c.text), c.count);
        EXPECT_EQ(GetToken(c.index, c.text), c.token);
    }
}

TEST(Tokens, SeparatorStackFallsBackToTheAtSign) {
    EXPECT_EQ(GetToken(1, "a@b^c"), "b^c");
    PushSeparator("^");
    PushSeparator(",");
    EXPECT_EQ(GetToken(1, "a,b^c"), "b^c");
    PopSeparator();
    EXPECT_EQ(GetToken(1, "a,b^c"), "c");
    PopSeparator();
    PopSeparator();  // one too many does no harm
    EXPECT_EQ(TokenCount("a@b@c"), 3);
}

TEST(Texts, PaddingNumbersAndFlags) {
    EXPECT_EQ(PadLeft("7", 2), "07");
    EXPECT_EQ(PadLeft("2024", 2), "2024");
    EXPECT_EQ(PadLeft("2024", 2, u'0', true), "20");
    EXPECT_EQ(PadLeft("42", 8, u' '), "      42");

    EXPECT_EQ(IntText(-9007199254740993), "-9007199254740993");
    EXPECT_EQ(TextToInt("9007199254740993"), 9007199254740993);
    EXPECT_EQ(TextToInt("-12"), -12);
    EXPECT_EQ(TextToInt("12a", 5), 5);
    EXPECT_EQ(TextToInt("", 5), 5);

    for (const char* yes : {"Y", "y"}) EXPECT_TRUE(IsYes(yes)) << yes;
    for (const char* no : {"Yes", "N", "", " Y"}) EXPECT_FALSE(IsYes(no)) << no;

    EXPECT_EQ(CleanCsvField(R"(O'Neill, "Jr")"), "O Neill   Jr ");

    EXPECT_EQ(PlainCaption("&Yes"), "Yes");
    EXPECT_EQ(PlainCaption("Fish &&& Chips"), "Fish & Chips");
    EXPECT_EQ(PlainCaption(" Hear\n&Receipt "), "Hear Receipt");
}

TEST(Texts, ContrastColourPicksTheReadableOne) {
    struct Case {
        int colour;
        int contrast;
    };
    for (const Case& c : {Case{16777215, 0}, Case{8388608, 16777215}, Case{0, 16777215},
                          Case{0x00FFFF, 0},         // yellow
                          Case{0x0000FF, 16777215},  // red
                          Case{0x808080, 0}}) {      // grey, lightness just under 0.5
        SCOPED_TRACE(c.colour);
        EXPECT_EQ(ContrastColour(c.colour), c.contrast);
    }
}

// Windows colour values (0x00BBGGRR) with their WCAG contrast ratio against white and the
// caption colour that reads best on them.
TEST(Texts, ContrastRatioAndCaptionColourFollowWcag) {
    constexpr int White = 0xFFFFFF;
    constexpr int Black = 0;
    struct Case {
        const char* name;
        int colour;
        double ratioOnWhite;
        int caption;
    };
    for (const Case& c :
         {Case{"black", Black, 21.0, White}, Case{"white", White, 1.0, Black},
          Case{"navy", 0x800000, 16.01, White}, Case{"kiosk bar #243b5e", 0x5E3B24, 11.28, White},
          Case{"grey #808080", 0x808080, 3.949, Black},
          Case{"grey #767676", 0x767676, 4.542, Black},
          Case{"grey #595959", 0x595959, 7.005, White},
          // ContrastColour gives white here; black reads better (5.25 to 4.0).
          Case{"red", 0x0000FF, 4.0, Black}, Case{"light branding #ffe680", 0x80E6FF, 1.24, Black},
          Case{"light blue #9cc3e6", 0xE6C39C, 1.85, Black}}) {
        SCOPED_TRACE(c.name);
        EXPECT_NEAR(ContrastRatio(c.colour, White), c.ratioOnWhite, 0.01);
        EXPECT_DOUBLE_EQ(ContrastRatio(White, c.colour), ContrastRatio(c.colour, White));
        EXPECT_EQ(CaptionColour(c.colour), c.caption);
        EXPECT_GE(ContrastRatio(c.colour, CaptionColour(c.colour)),
                  ContrastRatio(c.colour, White + Black - CaptionColour(c.colour)));
    }
    EXPECT_DOUBLE_EQ(RelativeLuminance(Black), 0.0);
    EXPECT_DOUBLE_EQ(RelativeLuminance(White), 1.0);
    // No colour brings its caption below 4.58:1.
    double lowest = 21;
    for (int r = 0; r < 256; r += 5)
        for (int g = 0; g < 256; g += 5)
            for (int b = 0; b < 256; b += 5) {
                const int colour = r | g << 8 | b << 16;
                lowest = std::min(lowest, ContrastRatio(colour, CaptionColour(colour)));
            }
    EXPECT_GE(lowest, 4.58);
}

TEST(Money, FormatMoneyRoundsHalvesUpAndUsesRegionalSeparators) {
    struct Case {
        qint64 value;
        bool thousands;
        bool parentheses;
        const char* text;
    };
    for (const Case& c :
         {Case{12345, true, false, "1.23"}, Case{12350, true, false, "1.24"},
          Case{-12350, true, false, "-1.23"}, Case{-500, true, true, "(0.05)"},
          Case{-500, true, false, "-0.05"}, Case{12345000, true, false, "1,234.50"},
          Case{12345000, false, false, "1234.50"}, Case{-12345000, true, true, "(1,234.50)"},
          Case{-1, true, true, "0.00"}, Case{0, true, false, "0.00"}}) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(FormatMoney(2, c.thousands, c.parentheses, c.value), c.text);
    }
}

TEST(Money, ParseMoneyReadsWhatFormatMoneyWrites) {
    struct Case {
        const char* text;
        double value;
    };
    for (const Case& c :
         {Case{"(1,234.50)", -1234.5}, Case{"1,234.50", 1234.5}, Case{"-0.05", -0.05},
          Case{"abc", 0}, Case{")1.5(", 0}, Case{" 2.5 ", 2.5}}) {
        SCOPED_TRACE(c.text);
        EXPECT_DOUBLE_EQ(ParseMoney(c.text, 99), c.value);
    }
    EXPECT_EQ(ParseMoney("", 99), 99);
}

TEST(Dates, DateTimeTextAndDayNumbers) {
    const QDate day(2024, 3, 7);
    EXPECT_EQ(DateTimeText(true, QDateTime(day, QTime(13, 4, 5))), "2024-03-07");
    EXPECT_EQ(DateTimeText(false, QDateTime(day, QTime(13, 4, 5, 6))), "2024-03-07 13:04:05.6");
    EXPECT_EQ(DateTimeText(false, QDateTime(day, QTime(13, 4, 5, 450))), "2024-03-07 13:04:05.450");
    EXPECT_EQ(DateTimeText(false, QDateTime(day, QTime(0, 0))), "2024-03-07 00:00:00.0");

    struct Case {
        QDateTime dateTime;
        double dayNumber;
    };
    for (const Case& c : {Case{QDateTime(QDate(1899, 12, 30), QTime(0, 0)), 0},
                          Case{QDateTime(QDate(2024, 1, 1), QTime(12, 0)), 45292.5},
                          Case{QDateTime(QDate(1899, 12, 29), QTime(6, 0)), -1.25}}) {
        SCOPED_TRACE(c.dayNumber);
        EXPECT_DOUBLE_EQ(DateTimeToDayNumber(c.dateTime), c.dayNumber);
        EXPECT_EQ(DayNumberToDateTime(c.dayNumber), c.dateTime);
    }
    const QDateTime odd(QDate(2023, 11, 30), QTime(23, 59, 59, 999));
    EXPECT_EQ(DayNumberToDateTime(DateTimeToDayNumber(odd)), odd);
}

}  // namespace
