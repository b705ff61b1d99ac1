#include "ui/wg_KioskApplication.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <stdexcept>

#include "app/uLog.h"

namespace {

void ShowStandardErrorBox(const QString& message) {
    QMessageBox::critical(nullptr, QGuiApplication::applicationDisplayName(), message);
}

TKioskApplication::ErrorPresenter& PresenterSlot() {
    static TKioskApplication::ErrorPresenter presenter;
    return presenter;
}

}  // namespace

TKioskApplication::TKioskApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TKioskApplication::notify(QObject* receiver, QEvent* event) {
    return deliverGuarded([&] { return QApplication::notify(receiver, event); });
}

bool TKioskApplication::deliverGuarded(const std::function<bool()>& deliver) {
    try {
        return deliver();
    } catch (...) {
        reportException(std::current_exception());
        return false;
    }
}

QString TKioskApplication::exceptionMessage(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
        return QStringLiteral("Unknown error");
    }
}

void TKioskApplication::reportException(std::exception_ptr error) {
    if (error) reportError(exceptionMessage(error));
}

void TKioskApplication::reportError(const QString& message) {
    // On an unattended kiosk the box is closed by whoever comes next: the log keeps the error.
    WriteLog(QStringLiteral("Error shown: ") + message, 0);
    try {
        if (const auto& presenter = PresenterSlot())
            presenter(message);
        else
            ShowStandardErrorBox(message);
    } catch (...) {
        // Nothing is left to show the error with; keep it where someone can find it.
        qCritical("Unreported error: %s", qUtf8Printable(message));
    }
}

void TKioskApplication::setErrorPresenter(ErrorPresenter presenter) {
    PresenterSlot() = std::move(presenter);
}
