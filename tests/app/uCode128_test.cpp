#include <gtest/gtest.h>

#include <numeric>
#include <stdexcept>

#include "app/uCode128.h"

namespace {

std::vector<int> Widths(const char* symbols) {
    std::vector<int> widths;
    for (const char* w = symbols; *w; ++w) widths.push_back(*w - '0');
    return widths;
}

TEST(Code128, EncodesSetBWithItsCheckSymbol) {
    struct Case {
        const char* text;
        const char* symbols;  // start B, the characters, check, stop
    } cases[] = {
        // 'A' is 33: check (104 + 33) % 103 = 34.
        {"A",
         "211214"
         "111323"
         "131123"
         "2331112"},
        // 'a' 65, 'Z' 58: check (104 + 65 + 2 * 58) % 103 = 79.
        {"aZ",
         "211214"
         "121124"
         "312311"
         "134111"
         "2331112"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(Code128Widths(QString::fromLatin1(c.text)), Widths(c.symbols));
    }
}

TEST(Code128, AnEngineerCodeIsElevenModulesASymbolAndEndsOnABar) {
    const std::vector<int> widths = Code128Widths(QStringLiteral("K7QM2XRB9TDW4HZP"));
    EXPECT_EQ(widths.size() % 2, 1u);  // bar, space, ..., bar
    EXPECT_EQ(std::accumulate(widths.begin(), widths.end(), 0), (16 + 2) * 11 + 13);
}

TEST(Code128, RefusesWhatSetBCannotCarry) {
    for (const QString& text : {QString(), QStringLiteral("caf\u00e9"), QStringLiteral("a\tb")})
        EXPECT_THROW(Code128Widths(text), std::invalid_argument) << text.toStdString();
}

}  // namespace
