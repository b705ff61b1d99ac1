#include "ui/wg_KioskApplication.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontInfo>
#include <QPalette>
#include <QPointer>
#include <QPushButton>
#include <QStyle>
#include <QStyleFactory>
#include <stdexcept>

#include "support/LogReader.h"
#include "ui/wg_Fonts.h"
#include "ui/wg_Style.h"

namespace {

class ErrorPresenterTest : public ::testing::Test {
protected:
    void SetUp() override {
        TKioskApplication::setErrorPresenter([this](const QString& m) { shown.push_back(m); });
    }
    void TearDown() override { TKioskApplication::setErrorPresenter({}); }
    QStringList shown;
};

TEST_F(ErrorPresenterTest, ExceptionFromASlotIsShownAndTheProgramGoesOn) {
    QPushButton button;
    QObject::connect(&button, &QPushButton::clicked,
                     [] { throw std::runtime_error("Connection lost"); });
    bool delivered = true;
    EXPECT_NO_THROW(delivered = TKioskApplication::deliverGuarded([&] {
                        button.click();
                        return true;
                    }));
    EXPECT_FALSE(delivered);
    EXPECT_EQ(shown, QStringList{"Connection lost"});

    EXPECT_TRUE(TKioskApplication::deliverGuarded([] { return true; }));
    EXPECT_EQ(shown.size(), 1);
}

// The box may be closed by whoever comes next to an unattended kiosk: the error is in the log
// before the box is shown.
TEST_F(ErrorPresenterTest, TheCatchAllsMessageIsLoggedBeforeItIsShown) {
    const LogReader log;
    QStringList loggedWhenShown;
    TKioskApplication::setErrorPresenter([&](const QString&) { loggedWhenShown = log.newLines(); });
    TKioskApplication::deliverGuarded([]() -> bool { throw std::runtime_error("Disk full"); });
    ASSERT_EQ(loggedWhenShown.size(), 1);
    EXPECT_TRUE(loggedWhenShown[0].endsWith(" Error shown: Disk full"))
        << loggedWhenShown[0].toStdString();
}

TEST_F(ErrorPresenterTest, ReportsEveryKindOfException) {
    TKioskApplication::reportException(std::make_exception_ptr(std::invalid_argument("Bad price")));
    TKioskApplication::reportException(std::make_exception_ptr(42));
    TKioskApplication::reportException(nullptr);
    EXPECT_EQ(shown, QStringList({"Bad price", "Unknown error"}));
}

TEST_F(ErrorPresenterTest, AFailingPresenterDoesNotEscape) {
    TKioskApplication::setErrorPresenter([](const QString&) { throw std::runtime_error("no"); });
    EXPECT_NO_THROW(
        TKioskApplication::reportException(std::make_exception_ptr(std::runtime_error("first"))));
}

// Leaves the application's look as the test found it.
class StyleTest : public ::testing::Test {
protected:
    void SetUp() override {
        sheet_ = qApp->styleSheet();
        palette_ = QApplication::palette();
        style_ = QApplication::style()->name();
    }
    void TearDown() override {
        qApp->setStyleSheet(sheet_);
        QApplication::setPalette(palette_);
        QApplication::setStyle(QStyleFactory::create(style_));
    }

private:
    QString sheet_;
    QPalette palette_;
    QString style_;
};

TEST_F(StyleTest, KioskStyleLoadsFromTheResources) {
    ASSERT_TRUE(ApplyKioskStyle(*qApp));
    EXPECT_TRUE(qApp->styleSheet().contains(QStringLiteral("QPushButton")));
}

TEST_F(StyleTest, MissingStyleLeavesTheLookAlone) {
    const QString before = qApp->styleSheet();
    EXPECT_FALSE(ApplyStyleSheetFile(*qApp, QStringLiteral(":/styles/no_such_style.qss")));
    EXPECT_EQ(qApp->styleSheet(), before);
}

TEST(KioskFontTest, FacesResolveToInstalledFamilies) {
    struct Case {
        KioskFace face;
        const char* family;
    };
    const Case cases[] = {
        {KioskFace::Arial, "Liberation Sans"},
        {KioskFace::ArialBlack, "DejaVu Sans"},
        {KioskFace::Tahoma, "DejaVu Sans"},
        {KioskFace::SegoeUI, "DejaVu Sans"},
        {KioskFace::LucidaSansTypewriter, "DejaVu Sans Mono"},
        {KioskFace::Bahnschrift, "Liberation Sans Narrow"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.family);
        const QFont font = KioskFont(c.face, 27);
        const QFontInfo info(font);
        EXPECT_EQ(info.family(), QString::fromLatin1(c.family));
        EXPECT_EQ(info.pixelSize(), 27);
    }
    EXPECT_GE(QFontInfo(KioskFont(KioskFace::ArialBlack, 43)).weight(), QFont::Bold);
}

}  // namespace
