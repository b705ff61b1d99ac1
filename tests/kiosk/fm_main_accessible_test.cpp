#include <gtest/gtest.h>

#include <QAccessible>
#include <QAccessibleInterface>
#include <functional>

#include "kiosk/KeypadFixture.h"
#include "payment/fm_ccPayment.h"
#include "sale/fm_Info.h"
#include "sale/fm_getQuantity.h"
#include "ui/AdvDialogs.h"

namespace {

// What a screen reader finds as it walks a window: every key, list, table and edit shown
// has a name.
QStringList Unnamed(QAccessibleInterface* node, const QString& path = {}) {
    static const QList<QAccessible::Role> named = {
        QAccessible::Button,      QAccessible::PushButton, QAccessible::CheckBox,
        QAccessible::RadioButton, QAccessible::ComboBox,   QAccessible::List,
        QAccessible::Table,       QAccessible::Tree,       QAccessible::EditableText,
        QAccessible::SpinBox,     QAccessible::Slider,     QAccessible::Link,
    };
    QStringList found;
    if (!node || node->state().invisible) return found;
    const QString here = path + u'/' + (node->object() ? node->object()->objectName() : QString());
    if (named.contains(node->role()) && node->text(QAccessible::Name).trimmed().isEmpty())
        found << here;
    for (int i = 0; i < node->childCount(); ++i) found << Unnamed(node->child(i), here);
    return found;
}

QStringList Unnamed(QWidget& window) {
    return Unnamed(QAccessible::queryAccessibleInterface(&window));
}

class AccessibleTest : public KeypadFixture {
protected:
    // The role and name a screen reader announces for the named widget.
    std::pair<QAccessible::Role, QString> announced(const QString& name) {
        QAccessibleInterface* node = QAccessible::queryAccessibleInterface(widget(name));
        return {node->role(), node->text(QAccessible::Name)};
    }
};

TEST_F(AccessibleTest, EveryPageNamesItsKeysAndLists) {
    const std::vector<std::pair<QString, std::function<void()>>> pages = {
        {"tsDefault", [&] { typeCode(Crisps); }},
        {"tsFind",
         [&] {
             screen().cmLookupClick();
             screen().WMItemKeyClick(11);  // a group's product keys
         }},
        {"tsMOP", [&] { screen().cmFinishAndPayClick(); }},
        {"tsManager", [&] { typeCode(Mary); }},
        {"tsTopup", [&] { screen().cmTopupsClick(); }},
        {"tsEngineer", [&] { typeCode(kEngineerSetupCode); }},
    };
    for (const auto& [name, open] : pages) {
        SCOPED_TRACE(name.toStdString());
        open();
        ASSERT_EQ(page(), name);
        EXPECT_EQ(Unnamed(screen()).join(", ").toStdString(), "");
        screen().ShowPage(screen().findChild<QWidget*>("tsDefault"));
    }
}

TEST_F(AccessibleTest, EveryDialogNamesItsKeys) {
    const std::vector<std::pair<const char*, std::function<std::unique_ptr<QWidget>()>>> dialogs = {
        {"info box",
         [] {
             auto box = std::make_unique<TfmInfoBox>();
             box->setButtons(true, true);
             return box;
         }},
        {"message box",
         [] {
             return std::make_unique<TMessageForm>("Sure?", QStringList{"&Yes", "&No"}, miQuestion,
                                                   "", 40, false, false, false);
         }},
        {"quantity", [] { return std::make_unique<TfmGetQuantity>(); }},
        {"card payment", [] { return std::make_unique<TfmCCPayment>(); }},
    };
    for (const auto& [name, make] : dialogs) {
        SCOPED_TRACE(name);
        const std::unique_ptr<QWidget> dialog = make();
        dialog->show();
        EXPECT_EQ(Unnamed(*dialog).join(", ").toStdString(), "");
    }
}

// Click-panel keys are buttons with their caption; background panels are no buttons.
TEST_F(AccessibleTest, TilesAndItemKeysAreButtonsAndBackgroundsAreNot) {
    typeCode(Mary);
    EXPECT_EQ(announced("cmVoidLine"), std::make_pair(QAccessible::Button, QString("Void Line")));
    EXPECT_EQ(announced("cmCloseScreen").first, QAccessible::Button);
    screen().cmLookupClick();
    QWidget* group = widget("pnItemKeys")->findChildren<TfraItemKey*>().value(0);
    ASSERT_NE(group, nullptr);
    QAccessibleInterface* key = QAccessible::queryAccessibleInterface(group);
    EXPECT_EQ(key->role(), QAccessible::Button);
    EXPECT_EQ(key->text(QAccessible::Name), "Hot Drinks");
    EXPECT_TRUE(
        key->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
    for (const char* background : {"pnTop", "pnBottom", "pnFinishAndPay"})
        EXPECT_NE(announced(background).first, QAccessible::Button) << background;
    EXPECT_EQ(announced("ebScanBuffer").second, "Barcode");
    EXPECT_EQ(announced("dbgTransaction").second, "Your shopping");
}

}  // namespace
