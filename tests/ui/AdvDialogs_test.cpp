#include "ui/AdvDialogs.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <optional>

#include "ui/wg_Fonts.h"

namespace {

// What a box looked like once built, read from its widgets.
struct BoxShape {
    QString title;
    QString text;
    QRect label;
    std::optional<QRect> icon;
    std::vector<QRect> buttons;
    int barWidth = 0;
    QSize client;
};

BoxShape ShapeOf(TMessageForm& box) {
    BoxShape shape;
    shape.title = box.windowTitle();
    const auto* label = box.findChild<QLabel*>(QStringLiteral("MsgLabel"));
    shape.text = label->text();
    shape.label = label->geometry();
    const auto* image = box.findChild<QLabel*>(QStringLiteral("image"));
    if (!image->isHidden()) shape.icon = image->geometry();
    for (int i = 0;; ++i) {
        const auto* button = box.findChild<QPushButton*>(QStringLiteral("Button%1").arg(i));
        if (!button) break;
        shape.buttons.push_back(button->geometry());
    }
    shape.barWidth = box.findChild<QWidget*>(QStringLiteral("pnButtons"))->width();
    shape.client = box.size();
    return shape;
}

QFontMetrics BoxMetrics() {
    return QFontMetrics(KioskFont(KioskFace::SegoeUI, 13));
}

int ScreenWidth() {
    return QGuiApplication::primaryScreen()->geometry().width();
}

void SendKey(QWidget* target, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers);
    QApplication::sendEvent(target, &release);
}

void SendMouse(QWidget* target, QEvent::Type type, const QPoint& globalPos) {
    const Qt::MouseButtons held =
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, target->mapFromGlobal(globalPos), globalPos, button, held,
                      Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

class MessageFormTest : public ::testing::Test {
protected:
    void TearDown() override {
        TMessageForm::clearAnswers();
        TMessageForm::setObserver({});
    }

    // Builds a box as ShowMessageForm does, answers it with the first button and returns its shape.
    BoxShape Shape(const QString& message, const QStringList& captions, int iconKind,
                   int buttonHeight = 40) {
        BoxShape shape;
        TMessageForm::setObserver([&](TMessageForm& box) { shape = ShapeOf(box); });
        TMessageForm::setNextAnswer(FirstButtonResult);
        ShowMessageForm(message, captions, iconKind, QString(), buttonHeight);
        return shape;
    }

    // Shows a real box and runs the checks while it waits for an answer; a watchdog ends it if
    // the checks leave it open.
    int RunShown(const std::function<int()>& show, const std::function<void(TMessageForm&)>& act) {
        TMessageForm::setObserver([&](TMessageForm& box) {
            QTimer::singleShot(0, &box, [&box, &act] { act(box); });
            QTimer::singleShot(5000, &box, [&box] { box.done(-1); });
        });
        return show();
    }
};

TEST_F(MessageFormTest, PlacesTextAndIconByLineCount) {
    const QFontMetrics metrics = BoxMetrics();
    const int line = metrics.height();
    struct Case {
        const char* name;
        QString message;
        int iconKind;
        QString shownText;
        int lines;
    };
    const Case cases[] = {
        {"one line", "Void the selected line", miQuestion, "Void the selected line", 1},
        {"trailing CR LF", "Void the selected line\r\n", miQuestion, "Void the selected line", 1},
        {"three lines", "First\r\nSecond\r\nThird", miQuestion, "First\nSecond\nThird", 3},
        {"no icon", "Invalid Operator", miNone, "Invalid Operator", 1},
        {"ampersand", "Fish & Chips", miInformation, "Fish & Chips", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const BoxShape shape = Shape(c.message, {"&Ok"}, c.iconKind);
        EXPECT_EQ(shape.text, c.shownText);
        const QSize natural =
            metrics.boundingRect(QRect(0, 0, 4000, 4000), Qt::AlignLeft, c.shownText).size();
        EXPECT_EQ(shape.label.size(), natural);
        EXPECT_EQ(shape.label.height() < 2 * line, c.lines == 1);
        const int expectedTop = c.lines == 1 ? 34 - shape.label.height() / 2 : 18;
        EXPECT_EQ(shape.label.top(), expectedTop);
        if (c.iconKind == miNone) {
            EXPECT_FALSE(shape.icon.has_value());
            EXPECT_EQ(shape.label.left(), 16);
            continue;
        }
        ASSERT_TRUE(shape.icon.has_value());
        // One line sits on the icon's middle (height 34); more lines start level with it.
        EXPECT_EQ(shape.icon->left(), 16);
        EXPECT_EQ(shape.icon->size(), QSize(32, 32));
        EXPECT_EQ(shape.icon->top(), c.lines == 1 ? 34 - 16 : shape.label.top());
        EXPECT_EQ(shape.label.left(), 63);
    }
}

TEST_F(MessageFormTest, SizesTheBoxToItsContent) {
    const QFontMetrics metrics = BoxMetrics();
    const int limit = ScreenWidth() / 2 + 100;
    QString longMessage;
    while (metrics.horizontalAdvance(longMessage) <= limit) longMessage += "words that wrap ";

    const BoxShape small = Shape("Hi", {"&Ok"}, miNone);
    EXPECT_EQ(small.client, QSize(220, 140));

    const BoxShape wrapped = Shape(longMessage, {"&Ok"}, miError);
    EXPECT_EQ(wrapped.label.width(), limit - 32);
    EXPECT_GT(wrapped.label.height(), metrics.height());
    EXPECT_EQ(wrapped.client.width(), 32 + wrapped.label.width() + 55);
    EXPECT_EQ(wrapped.client.height(), std::max(140, wrapped.label.height() + 40 + 67));
    EXPECT_TRUE(wrapped.label.right() < wrapped.client.width());

    const BoxShape tall = Shape("a\nb\nc\nd", {"&Ok"}, miNone, 60);
    EXPECT_EQ(tall.client.height(), tall.label.height() + 60 + 67);
    EXPECT_EQ(tall.buttons[0].height(), 60);
}

TEST_F(MessageFormTest, ButtonsStandInCaptionOrderFromTheRight) {
    const QFontMetrics metrics = BoxMetrics();
    const QString wide = "Shut down the kiosk now";
    ASSERT_GT(metrics.horizontalAdvance(wide), 92);
    struct Case {
        const char* name;
        QStringList captions;
        int width;
    };
    const Case cases[] = {
        {"yes/no", {"&Yes", "&No"}, 100},
        {"one wide caption widens all",
         {"&Ok", wide, "&Cancel"},
         metrics.horizontalAdvance(wide) + 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const BoxShape shape = Shape("Question?", c.captions, miQuestion);
        ASSERT_EQ(shape.buttons.size(), static_cast<size_t>(c.captions.size()));
        const int count = static_cast<int>(c.captions.size());
        EXPECT_EQ(shape.client.width(), std::max(220, count * (c.width + 7) + 31));
        EXPECT_EQ(shape.buttons.back().right() + 1, shape.barWidth - 16);
        for (int i = 0; i < count; ++i) {
            EXPECT_EQ(shape.buttons[i].size(), QSize(c.width, 40));
            EXPECT_EQ(shape.buttons[i].top(), 10);
            if (i > 0) {
                EXPECT_EQ(shape.buttons[i].left(), shape.buttons[i - 1].right() + 1 + 7);
            }
        }
    }
}

TEST_F(MessageFormTest, EntryPointsReturnTheirResults) {
    struct Case {
        const char* name;
        std::function<int()> show;
        int answer;
        int expected;
        QString title;
    };
    const QString app = QGuiApplication::applicationDisplayName();
    const Case cases[] = {
        {"question yes", [] { return ShowQuestion("Void current transaction"); }, 100, mrYes, app},
        {"question no", [] { return ShowQuestion("Void current transaction"); }, 101, mrNo, app},
        {"information", [] { return ShowInformation("Invalid Operator", "Staff"); }, 100, mrOk,
         "Staff"},
        {"error", [] { return ShowError("Error Saving System Info"); }, 100, mrOk, app},
        {"custom",
         [] {
             return ShowMessageForm("Pick", {"A", "B", "C"}, miNone, "T", 40);
         },
         102, 102, "T"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QString title;
        TMessageForm::setObserver([&](TMessageForm& box) { title = box.windowTitle(); });
        TMessageForm::setNextAnswer(c.answer);
        EXPECT_EQ(c.show(), c.expected);
        EXPECT_EQ(title, c.title);
        EXPECT_FALSE(TMessageForm::hasNextAnswer());
    }
}

TEST_F(MessageFormTest, OnlyItsButtonsCloseAKioskBox) {
    const int result = RunShown([] { return ShowQuestion("Are you sure?"); },
                                [](TMessageForm& box) {
                                    ASSERT_TRUE(box.isVisible());
                                    QWidget* focus = box.focusWidget();
                                    ASSERT_EQ(focus, box.findChild<QPushButton*>("Button0"));
                                    SendKey(focus, Qt::Key_Escape);
                                    SendKey(focus, Qt::Key_F4, Qt::AltModifier);
                                    box.close();  // the window manager's Alt+F4
                                    QCoreApplication::processEvents();
                                    EXPECT_TRUE(box.isVisible());
                                    box.findChild<QPushButton*>("Button1")->click();
                                });
    EXPECT_EQ(result, mrNo);
}

TEST_F(MessageFormTest, EnterPressesTheFirstCaption) {
    const int result =
        RunShown([] { return ShowQuestion("Is the customer over 18 ?"); },
                 [](TMessageForm& box) { SendKey(box.focusWidget(), Qt::Key_Return); });
    EXPECT_EQ(result, mrYes);
}

TEST_F(MessageFormTest, EscapeCancelsWhenAllowed) {
    const int result = RunShown(
        [] { return ShowMessageForm("Continue?", {"&Go"}, miWarning, QString(), 40, false, true); },
        [](TMessageForm& box) { SendKey(box.focusWidget(), Qt::Key_Escape); });
    EXPECT_EQ(result, mrCancel);
}

TEST_F(MessageFormTest, DraggingTheTextMovesTheBox) {
    QPoint moved;
    QPoint start;
    TMessageForm::setObserver([&](TMessageForm& box) {
        start = box.pos();
        auto* label = box.findChild<QLabel*>("MsgLabel");
        const QPoint grip = label->mapToGlobal(QPoint(3, 3));
        SendMouse(label, QEvent::MouseButtonPress, grip);
        SendMouse(label, QEvent::MouseMove, grip + QPoint(40, -25));
        SendMouse(label, QEvent::MouseButtonRelease, grip + QPoint(40, -25));
        moved = box.pos();
    });
    TMessageForm::setNextAnswer(FirstButtonResult);
    ShowInformation("Drag me");
    EXPECT_EQ(moved - start, QPoint(40, -25));
}

}  // namespace
