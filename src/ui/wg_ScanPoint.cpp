#include "ui/wg_ScanPoint.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>

namespace {

const char* const ScanPointProperty = "kioskScanPoint";
constexpr QChar GroupSeparator(0x1d);

// Puts the group separator into its buffer, where the line edit's own key handling would drop
// it with every other control character.
class TSeparatorKeeper : public QObject {
public:
    explicit TSeparatorKeeper(QLineEdit& buffer) : QObject(&buffer), fBuffer(buffer) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != &fBuffer || event->type() != QEvent::KeyPress ||
            !IsGroupSeparatorKey(*static_cast<QKeyEvent*>(event)))
            return false;
        fBuffer.insert(QString(GroupSeparator));
        return true;
    }

private:
    QLineEdit& fBuffer;
};

}  // namespace

void MarkScanPoint(QWidget& widget) {
    widget.setProperty(ScanPointProperty, true);
}

bool IsScanPoint(const QWidget& widget) {
    return widget.property(ScanPointProperty).toBool();
}

void MarkScanBuffer(QLineEdit& buffer) {
    MarkScanPoint(buffer);
    buffer.setAccessibleName(QStringLiteral("Barcode"));
    buffer.installEventFilter(new TSeparatorKeeper(buffer));
}

bool IsScanBuffer(const QWidget* widget) {
    return qobject_cast<const QLineEdit*>(widget) && IsScanPoint(*widget);
}

QLineEdit* ScanBufferOf(const QWidget* window) {
    if (!window) return nullptr;
    for (QLineEdit* edit : window->findChildren<QLineEdit*>())
        if (IsScanPoint(*edit) && edit->window() == window) return edit;
    return nullptr;
}

bool TakesTypedText(const QWidget& widget) {
    return widget.inherits("QLineEdit") || widget.inherits("QTextEdit") ||
           widget.inherits("QPlainTextEdit") || widget.inherits("QAbstractSpinBox") ||
           widget.inherits("QComboBox");
}

bool IsGroupSeparatorKey(const QKeyEvent& key) {
    return key.text() == QString(GroupSeparator) ||
           (key.key() == Qt::Key_BracketRight && (key.modifiers() & Qt::ControlModifier));
}

bool IsScanCharacter(const QKeyEvent& key) {
    if (key.key() == Qt::Key_Backspace || IsGroupSeparatorKey(key)) return true;
    const QString text = key.text();
    return !text.isEmpty() && text.at(0).isPrint() &&
           !(key.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
}

bool IsEnterKey(const QKeyEvent& key) {
    return key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter;
}

void SendToScanBuffer(QLineEdit& buffer, const QKeyEvent& key) {
    QKeyEvent copy(key.type(), key.key(), key.modifiers(), key.text(), key.isAutoRepeat(),
                   key.count());
    QCoreApplication::sendEvent(&buffer, &copy);
}
