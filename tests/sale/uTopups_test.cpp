#include <gtest/gtest.h>

#include "sale/uTopups.h"

namespace {

struct ShownChoice : TTopupView {
    QString provider;
    QString denon;
    void showProvider(const QString& text) override { provider = text; }
    void showDenon(const QString& text) override { denon = text; }
};

TEST(TopupTest, EveryPairSellsItsVoucherOrNothing) {
    const char* const expected[3][5] = {
        {"5391504580071", "5391504580088", "5391504580170", "5391504580095", "5391504580118"},
        {"5050553850008", "5050553850015", "5050553850022", "5050553850039", ""},
        {"5051399756301", "5051399756370", "", "", ""},
    };
    for (int provider = 1; provider <= 3; ++provider)
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(VoucherBarcode(provider, 10 * (i + 1)), expected[provider - 1][i])
                << provider << " " << 10 * (i + 1);
    EXPECT_EQ(VoucherBarcode(0, 10), "");
    EXPECT_EQ(VoucherBarcode(4, 10), "");
    EXPECT_EQ(VoucherBarcode(1, 15), "");
}

TEST(TopupTest, TheChoiceIsShownAsItIsMadeAndCleared) {
    ShownChoice shown;
    TTopup topup(shown);
    topup.Setprovider(tpTescoMobile);
    topup.Setdenon(20);
    EXPECT_EQ(shown.provider, "TESCO MOBILE");
    EXPECT_EQ(shown.denon, QString::fromUtf8("€20.00"));
    EXPECT_EQ(topup.barcode(), "5051399756370");
    topup.Setdenon(25);
    EXPECT_EQ(shown.denon, "???");
    topup.Clear();
    EXPECT_EQ(topup.provider(), 0);
    EXPECT_EQ(topup.denon(), 0);
    EXPECT_EQ(shown.provider, "???");
    EXPECT_EQ(shown.denon, "???");
    EXPECT_EQ(topup.barcode(), "");
}

TEST(TopupTest, Texts) {
    EXPECT_EQ(ProviderText(1), "VODAFONE");
    EXPECT_EQ(ProviderText(2), "THREE");
    EXPECT_EQ(ProviderText(7), "???");
    EXPECT_EQ(DenonText(50), QString::fromUtf8("€50.00"));
    EXPECT_EQ(DenonText(0), "???");
}

}  // namespace
