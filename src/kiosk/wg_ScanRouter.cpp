#include "kiosk/wg_ScanRouter.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>

#include "kiosk/fra_bars.h"
#include "ui/wg_KeypadNavigation.h"
#include "ui/wg_ScanPoint.h"

// The buffer and its button stay enabled and focusable but sit behind the top bar and the
// pages, where no one sees them.
TScanRouter::TScanRouter(QWidget* window, QWidget* host, UserOfCode userOfCode)
    : QObject(window), fWindow(window), fUserOfCode(std::move(userOfCode)) {
    ebScanBuffer = new QLineEdit(host);
    ebScanBuffer->setObjectName(QStringLiteral("ebScanBuffer"));
    ebScanBuffer->setGeometry(400, 40, 121, 21);
    ebScanBuffer->lower();
    MarkScanBuffer(*ebScanBuffer);

    cmEndScan = new QPushButton(QStringLiteral("X"), host);
    cmEndScan->setObjectName(QStringLiteral("cmEndScan"));
    cmEndScan->setGeometry(16, KioskBarHeight + 16, 75, 25);
    cmEndScan->setFocusPolicy(Qt::NoFocus);
    cmEndScan->setDefault(true);
    cmEndScan->lower();
    connect(cmEndScan, &QPushButton::clicked, this, &TScanRouter::endScan);
    MarkScanPoint(*cmEndScan);

    qApp->installEventFilter(this);
}

TScanRouter::~TScanRouter() {
    qApp->removeEventFilter(this);
}

void TScanRouter::focus() {
    ebScanBuffer->setFocus(Qt::OtherFocusReason);
}

void TScanRouter::reset() {
    ebScanBuffer->lower();
    ebScanBuffer->clear();
    focus();
}

void TScanRouter::endScan() {
    const QString text = ebScanBuffer->text();
    const auto refocus = qScopeGuard([this] {
        ebScanBuffer->clear();
        focus();
    });
    if (text.isEmpty()) return;
    const int user = fUserOfCode(text);
    if (user == -2)
        emit engineerScanned();
    else if (user == 0)
        emit productScanned(text);
    else
        emit managerScanned();
}

bool TScanRouter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress &&
        forwardToScanBuffer(qobject_cast<QWidget*>(watched), event))
        return true;
    return QObject::eventFilter(watched, event);
}

// Enter in the buffer presses cmEndScan, as a default button would; a code typed while another
// control of the window holds the focus goes to the buffer as well. A key keeps the focus while
// a scan goes on, so the customer's place stays; Enter on a key with no scan under way is the
// key's own.
bool TScanRouter::forwardToScanBuffer(QWidget* target, QEvent* event) {
    if (!target || target->window() != fWindow) return false;
    if (QWidget* modal = QApplication::activeModalWidget(); modal && modal->window() != fWindow)
        return true;
    const auto& key = *static_cast<QKeyEvent*>(event);
    if (target == ebScanBuffer) {
        if (!IsEnterKey(key)) return false;
        if (cmEndScan->isEnabled()) cmEndScan->click();
        return true;
    }
    if (TakesTypedText(*target) || !(IsEnterKey(key) || IsScanCharacter(key))) return false;
    const bool atKey = IsKeypadKey(target);
    if (atKey && IsEnterKey(key) && ebScanBuffer->text().isEmpty()) return false;
    if (!atKey) focus();
    SendToScanBuffer(*ebScanBuffer, key);
    return true;
}
