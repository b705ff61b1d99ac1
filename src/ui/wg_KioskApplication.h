#pragma once

#include <QApplication>
#include <QString>
#include <exception>
#include <functional>

// The kiosk's application object. An exception that an event handler lets escape is written to
// the log (level 0) and shown in a standard error box, and the program goes on, as the kiosk
// must keep serving customers.
class TKioskApplication : public QApplication {
    Q_OBJECT
public:
    TKioskApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    // Runs one delivery; an exception escaping it is reported and the delivery counts as
    // unhandled (false).
    static bool deliverGuarded(const std::function<bool()>& deliver);

    // Shows the message of an escaped exception.
    static void reportException(std::exception_ptr error);
    // Logs and shows an error message the way an escaped exception's message is.
    static void reportError(const QString& message);
    static QString exceptionMessage(std::exception_ptr error);

    // Where reported messages go: a standard error box unless replaced (tests).
    using ErrorPresenter = std::function<void(const QString& message)>;
    static void setErrorPresenter(ErrorPresenter presenter);
};
