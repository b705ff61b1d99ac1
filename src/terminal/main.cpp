// kpterminal: the payment terminal as a service of its own, playing the PIN pad and the
// acquirer for the kiosk. See docs/terminal-protocol.md.
#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QHostAddress>
#include <cstdio>
#include <memory>
#include <optional>

#include "app/uStopSignals.h"
#include "payment/uPaymentSettings.h"
#include "terminal/uTerminalConfig.h"
#include "terminal/uTerminalJournal.h"
#include "terminal/uTerminalService.h"
#include "terminal/wg_TerminalPad.h"
#include "ui/wg_Window.h"

namespace {

struct TOptions {
    QHostAddress host{QHostAddress::LocalHost};
    quint16 port = 8105;
    QString journal = QStringLiteral("data/Terminal/journal.jsonl");
    QString secret = TerminalSecretPath(QStringLiteral("data"));
    QString configFile;  // empty: the kiosk's default PIN pad file
    QString outcome;     // empty: as the settings say
    int delayMs = -1;    // below 0: as the settings say
    bool window = true;
};

void Say(const QString& text) {
    std::fprintf(stderr, "kpterminal: %s\n", qPrintable(text));
    std::fflush(stderr);
}

[[noreturn]] void Usage(const QCommandLineParser& parser, const QString& error) {
    Say(error);
    std::fprintf(stderr, "%s", qPrintable(parser.helpText()));
    std::exit(2);
}

void ParseListen(const QCommandLineParser& parser, const QString& value, TOptions& options) {
    const qsizetype colon = value.lastIndexOf(u':');
    bool ok = false;
    const uint port = value.mid(colon + 1).toUInt(&ok);
    if (colon <= 0 || !ok || port > 65535 || !options.host.setAddress(value.left(colon)))
        Usage(parser, QStringLiteral("--listen must be HOST:PORT, e.g. 127.0.0.1:8105, not \"%1\"")
                          .arg(value));
    options.port = quint16(port);
}

bool HasDisplay() {
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

// The settings file with the command line's choices over it.
TTerminalConfig Settings(const TOptions& options) {
    TTerminalConfig config = options.configFile.isEmpty() ? DefaultTerminalConfig()
                                                          : ReadTerminalConfig(options.configFile);
    if (!options.outcome.isEmpty()) SetOutcome(config.pad, options.outcome);
    if (options.delayMs >= 0) SetDelay(config.pad, options.delayMs);
    if (!options.window) config.pad.interactive = false;
    return config;
}

// The kiosk's default PIN pad file, pointing the kiosk at this terminal, with the service's
// own section.
QString DefaultSettingsFile(const QString& address) {
    return DefaultPinPadFile(address) +
           QStringLiteral(
               "\n; The terminal service's faults, played on purpose to show the kiosk's "
               "recovery.\n"
               "[Faults]\n"
               "; true: decide and journal each payment, then close without the answer.\n"
               "DropAnswer=false\n"
               "; Decide and journal each payment, then wait this long before answering.\n"
               "AnswerDelayMs=0\n"
               "; true: journal an approval, then end the terminal at once without answering.\n"
               "ExitAfterApprove=false\n");
}

QByteArray LinkSecret(const QString& path) {
    try {
        return ReadTerminalSecret(path);
    } catch (const std::runtime_error& e) {
        throw std::runtime_error(std::string(e.what()) +
                                 ". The terminal does not start without the secret it shares "
                                 "with the kiosk (see docs/terminal-protocol.md, The secret).");
    }
}

TOptions ParseOptions(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("The kiosk's payment terminal: plays the PIN pad and the acquirer.\n"
                       "The protocol and the settings: docs/terminal-protocol.md"));
    parser.addHelpOption();
    const QCommandLineOption listen(QStringLiteral("listen"),
                                    QStringLiteral("Address to listen on (port 0: any free one)."),
                                    QStringLiteral("HOST:PORT"), QStringLiteral("127.0.0.1:8105"));
    const QCommandLineOption config(
        QStringLiteral("config"),
        QStringLiteral("Settings in the format of the kiosk's PinPad.ini, with [Faults]."),
        QStringLiteral("FILE"));
    const QCommandLineOption journal(QStringLiteral("journal"),
                                     QStringLiteral("The journal of every transaction."),
                                     QStringLiteral("FILE"), TOptions().journal);
    const QCommandLineOption secret(
        QStringLiteral("secret"),
        QStringLiteral("The secret shared with the kiosk, which authenticates every request and "
                       "answer."),
        QStringLiteral("FILE"), TOptions().secret);
    const QCommandLineOption outcome(
        QStringLiteral("outcome"),
        QStringLiteral("Answer every payment so, without the PIN pad window: approve, decline, "
                       "remove-card or no-terminal."),
        QStringLiteral("OUTCOME"));
    const QCommandLineOption delay(
        QStringLiteral("delay"),
        QStringLiteral("The customer's time with the card, and the acquirer's time, each."),
        QStringLiteral("MS"));
    const QCommandLineOption noWindow(QStringLiteral("no-window"),
                                      QStringLiteral("Never show the PIN pad window."));
    const QCommandLineOption defaults(
        QStringLiteral("default-config"),
        QStringLiteral("Print a settings file with every setting explained, and end."));
    parser.addOptions({listen, config, journal, secret, outcome, delay, noWindow, defaults});
    if (!parser.parse(arguments)) Usage(parser, parser.errorText());
    if (parser.isSet(QStringLiteral("help"))) {
        std::printf("%s", qPrintable(parser.helpText()));
        std::exit(0);
    }
    if (parser.isSet(defaults)) {
        std::printf("%s", DefaultSettingsFile(parser.value(listen)).toUtf8().constData());
        std::exit(0);
    }
    if (!parser.positionalArguments().isEmpty())
        Usage(
            parser,
            QStringLiteral("Unexpected argument \"%1\"").arg(parser.positionalArguments().first()));

    TOptions options;
    ParseListen(parser, parser.value(listen), options);
    options.journal = parser.value(journal);
    options.secret = parser.value(secret);
    options.configFile = parser.value(config);
    options.outcome = parser.value(outcome);
    if (parser.isSet(delay)) {
        bool ok = false;
        options.delayMs = parser.value(delay).toInt(&ok);
        if (!ok || options.delayMs < 0)
            Usage(parser, QStringLiteral("--delay must be a whole number of milliseconds"));
    }
    // The window is there for the whole run when the settings at start ask for a person.
    const bool interactive = Settings(options).pad.interactive;
    options.window = interactive && !parser.isSet(noWindow) && HasDisplay();
    if (interactive && !options.window)
        Say(
            QStringLiteral("Interactive is set but the PIN pad window is not shown (no display, "
                           "or --no-window): every payment is answered as the settings say."));
    return options;
}

int Run(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    const TOptions options = ParseOptions(arguments);

    const std::unique_ptr<QCoreApplication> app =
        options.window ? std::make_unique<QApplication>(argc, argv)
                       : std::make_unique<QCoreApplication>(argc, argv);
    std::optional<TTerminalPad> pad;
    if (options.window) {
        // The pad shares the kiosk's screen: it is scaled as the kiosk's design is.
        ScaleDesignToScreen(KioskDesignSize);
        pad.emplace();
    }

    // Before anything listens: a terminal that cannot authenticate the kiosk must not start.
    TTerminalLink link(LinkSecret(options.secret));
    TTerminalJournal journal(options.journal, Say);
    TTerminalService service([&options] { return Settings(options); }, std::move(link), journal,
                             pad ? pad->factory() : TPinPadDeviceFactory{}, Say);
    TStopSignals stop([&](int) {
        Say(QStringLiteral("Stopping"));
        service.stop();
        QCoreApplication::quit();
    });
    // Closing the PIN pad window ends the terminal as a stop signal does.
    if (pad)
        QObject::connect(qApp, &QGuiApplication::lastWindowClosed, &service,
                         &TTerminalService::stop);
    service.listen(options.host, options.port);
    std::printf("kpterminal listening on %s\n", qPrintable(service.address()));
    std::fflush(stdout);
    Say(QStringLiteral("Journal: %1 (JournalId %2)").arg(options.journal, journal.journalId()));
    return QCoreApplication::exec();
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return Run(argc, argv);
    } catch (const std::exception& e) {
        Say(QString::fromStdString(e.what()));
        return 1;
    }
}
