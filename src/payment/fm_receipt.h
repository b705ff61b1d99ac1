#pragma once

#include <QImage>
#include <QPageLayout>
#include <QString>
#include <QStringList>
#include <functional>

#include "db/fbConnection.h"
#include "payment/uReceipt.h"

class QPainter;
class QPrinter;

// Draws the two banded reports of a receipt, report 1 (the sale) and report 2 (the card copy),
// on the 79 mm roll: title, detail and summary bands at fixed millimetre positions, with the
// shop's logo beside the program when it exists.
class TfmReceipt {
public:
    // logoPath: the logo picture; a missing or unreadable file prints no picture.
    TfmReceipt(TReceipt receipt, const QString& logoPath);

    // Paper 79 x 999 mm, margins top 5, bottom 10, left 2, right 0.
    static QPageLayout PageLayout();

    // One print job of report 1 or 2 on a printer set up with PageLayout().
    void print(QPrinter& printer, int report) const;
    // The report as the paper would show it, cut after its last band, at dpi dots per inch.
    QImage render(int report, int dpi) const;

    const TReceipt& receipt() const { return fReceipt; }

private:
    struct Band;
    std::vector<Band> bands(int report) const;

    TReceipt fReceipt;
    QImage QRImage1;
};

// The printers the print system offers, and its default (empty when none).
struct TPrinterDirectory {
    QStringList names;
    QString defaultName;
};
// The printer a receipt goes to: the installed one named wanted (without regard to case), else
// the default; empty when there is none to use.
QString ReceiptPrinterName(const TPrinterDirectory& printers, const QString& wanted);
// Where PrintReceipt looks for printers; the print system unless replaced (tests print as on
// a machine without printers). An empty function restores the print system.
void SetPrinterDirectory(std::function<TPrinterDirectory()> directory);

// Prints the receipt of a paid sale: report 1, then report 2, as two jobs on the printer named
// by the setup row's PRINTER_NAME (without regard to case), else on the default printer. With
// no printer to use, each job is written as a PDF file into dataFolder + "Printed/". Returns
// where the two jobs went: the printer's name or the PDF file, once per job. A reprint is
// marked as one on both reports.
QStringList PrintReceipt(fb::Connection& conx, int salesId, const QString& appFolder,
                         const QString& dataFolder, bool reprint = false);
// The receipt of the last paid sale, marked as a reprint: for a customer whose payment was
// settled after they left, or who asks again. With no paid sale, says so and prints nothing.
void ReprintLastReceipt(fb::Connection& conx, const QString& appFolder, const QString& dataFolder);
