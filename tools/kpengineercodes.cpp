// Makes an installed kiosk's own engineer codes in place of the built-in ones: two fresh codes,
// kept in the data folder's codes file as salted hashes alone and shown this once, on the
// terminal and, when asked, as barcodes on the receipt printer or in a PDF file.
//   kpengineercodes --data DATA_FOLDER [--print PRINT_QUEUE | --print FILE.pdf]
#include <QApplication>
#include <QTextStream>
#include <cstdio>
#include <exception>

#include "app/uEngineerCodes.h"
#include "backoffice/fm_engineerCodes.h"

namespace {

int Usage() {
    std::fputs("usage: kpengineercodes --data DATA_FOLDER [--print PRINT_QUEUE|FILE.pdf]\n",
               stderr);
    return 2;
}

// The value of an option, empty when not given.
QString Option(const QStringList& arguments, const QString& name) {
    const qsizetype at = arguments.indexOf(name);
    return at > 0 && at + 1 < arguments.size() ? arguments[at + 1] : QString();
}

}  // namespace

int main(int argc, char* argv[]) {
    // Drawing the sheet needs fonts, never a screen.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    QString folder = Option(arguments, QStringLiteral("--data"));
    const QString target = Option(arguments, QStringLiteral("--print"));
    if (folder.isEmpty() || arguments.size() != (target.isEmpty() ? 3 : 5)) return Usage();
    if (!folder.endsWith(u'/')) folder += u'/';
    try {
        const TEngineerCodeSheet sheet{NewEngineerCode(), NewEngineerCode()};
        // Printed first: codes that could not reach the engineer replace nothing.
        if (!target.isEmpty()) sheet.print(target);
        WriteEngineerCodes(EngineerCodesFileName(folder), sheet.managerCode, sheet.engineerCode);
        QTextStream out(stdout);
        out << "This kiosk's engineer codes, shown this once (the kiosk keeps only their hashes, "
               "in "
            << EngineerCodesFileName(folder) << "):\n"
            << "  manager page, every right: " << sheet.managerCode << "\n"
            << "  engineer page:             " << sheet.engineerCode << "\n";
        if (!target.isEmpty()) out << "Printed as barcodes on " << target << "\n";
    } catch (const std::exception& error) {
        std::fprintf(stderr, "kpengineercodes: %s\n", error.what());
        return 1;
    }
    return 0;
}
