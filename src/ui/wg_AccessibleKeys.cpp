#include "ui/wg_AccessibleKeys.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QLabel>

#include "ui/fra_tile.h"
#include "ui/wg_KeypadNavigation.h"

namespace {

// The caption a key shows: the texts of its visible labels, in one line.
QString ShownCaption(const QWidget* key) {
    QStringList parts;
    for (const QLabel* label : key->findChildren<QLabel*>()) {
        const QString text = label->text().simplified();
        if (!label->isHidden() && !text.isEmpty()) parts << text;
    }
    return parts.join(u' ');
}

// A key is one thing to a screen reader: its caption labels are not read again as children.
class TClickPanelAccessible : public QAccessibleWidget {
public:
    explicit TClickPanelAccessible(TClickPanel* panel)
        : QAccessibleWidget(panel, QAccessible::Button) {}

    QString text(QAccessible::Text kind) const override {
        if (kind != QAccessible::Name) return QAccessibleWidget::text(kind);
        const QString name = widget()->accessibleName();
        return name.isEmpty() ? ShownCaption(widget()) : name;
    }
    int childCount() const override { return 0; }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }

    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& action) override {
        if (action == pressAction()) static_cast<TClickPanel*>(widget())->click();
    }
};

QAccessibleInterface* ClickPanelFactory(const QString& className, QObject* object) {
    if (className != QLatin1String("TClickPanel")) return nullptr;
    auto* panel = qobject_cast<TClickPanel*>(object);
    if (!panel || !IsKeypadKey(panel)) return nullptr;
    return new TClickPanelAccessible(panel);
}

}  // namespace

void InstallKeyAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(ClickPanelFactory);
        return true;
    }();
    (void)installed;
}
