#include "backoffice/fm_engineerCodes.h"

#include <QPainter>
#include <QPrinter>
#include <stdexcept>

#include "app/uCode128.h"
#include "payment/fm_receipt.h"
#include "ui/wg_Fonts.h"

namespace {

// Narrow enough for a 16-character code on the 77 mm the roll prints, wide enough for any
// handheld scanner.
constexpr double kModuleMm = 0.3;
constexpr double kBarHeightMm = 15;
constexpr double kQuietZoneMm = 4;

constexpr double kTextWidthMm = 75;

QFont SheetFont(double points, bool bold = false) {
    QFont font(KioskFamily(KioskFace::Arial));
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

// Millimetres on a painter's device.
struct TSheetPen {
    QPainter& painter;
    double dotsPerMm;
    double y = 0;  // where the next line starts, in mm

    QRectF mm(double x, double top, double width, double height) const {
        return {x * dotsPerMm, top * dotsPerMm, width * dotsPerMm, height * dotsPerMm};
    }
    void skip(double heightMm) { y += heightMm; }
    void line(const QString& text, const QFont& font) {
        painter.setFont(font);
        const QRectF box = mm(0, y, kTextWidthMm, 100);
        const int flags = Qt::AlignLeft | Qt::TextWordWrap;
        y += painter.boundingRect(box, flags, text).height() / dotsPerMm;
        painter.drawText(box, flags, text);
    }
    void barcode(const QString& code) {
        double x = kQuietZoneMm;
        bool bar = true;
        for (const int width : Code128Widths(code)) {
            if (bar) painter.fillRect(mm(x, y, width * kModuleMm, kBarHeightMm), Qt::black);
            x += width * kModuleMm;
            bar = !bar;
        }
        y += kBarHeightMm;
    }
};

}  // namespace

void TEngineerCodeSheet::draw(QPainter& painter, double dotsPerMm) const {
    TSheetPen pen{painter, dotsPerMm};
    pen.line(QStringLiteral("This kiosk's engineer codes"), SheetFont(11, true));
    pen.line(QStringLiteral("Keep this sheet safe: whoever scans a code opens its page. "
                            "./kiosk install --new-codes replaces them."),
             SheetFont(8));
    const struct {
        const char* caption;
        const QString& code;
    } codes[] = {{"Manager page, every right", managerCode}, {"Engineer page", engineerCode}};
    for (const auto& c : codes) {
        pen.skip(4);
        pen.line(QString::fromLatin1(c.caption), SheetFont(9, true));
        pen.skip(1);
        pen.barcode(c.code);
        pen.skip(0.5);
        pen.line(c.code, SheetFont(9));
    }
}

void TEngineerCodeSheet::print(const QString& target) const {
    QPrinter printer(QPrinter::HighResolution);
    if (target.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive)) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(target);
    } else {
        printer.setPrinterName(target);
    }
    printer.setPageLayout(TfmReceipt::PageLayout());
    printer.setDocName(QStringLiteral("Engineer codes"));
    QPainter painter;
    if (!printer.isValid() || !painter.begin(&printer))
        throw std::runtime_error(
            QStringLiteral("Cannot print the engineer codes on %1").arg(target).toStdString());
    draw(painter, printer.resolution() / 25.4);
    painter.end();
}
