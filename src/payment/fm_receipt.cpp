#include "payment/fm_receipt.h"

#include <QDir>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <stdexcept>

#include "app/uClock.h"
#include "app/uFiles.h"
#include "payment/uPaymentJournal.h"
#include "ui/AdvDialogs.h"
#include "ui/wg_Fonts.h"

namespace {

constexpr QSizeF PaperMm{79, 999};
const QMarginsF MarginsMm{2, 5, 0, 10};  // left, top, right, bottom
constexpr double BandWidthMm = 74.9;     // the width the bands' centred labels span
constexpr double DetailHeightMm = 3.2;

QFont ReportFont(KioskFace face, double points, bool bold = false, bool italic = false) {
    QFont font(KioskFamily(face));
    font.setStyleHint(face == KioskFace::LucidaSansTypewriter ? QFont::Monospace
                                                              : QFont::SansSerif);
    font.setPointSizeF(points);
    font.setBold(bold);
    font.setItalic(italic);
    return font;
}

QFont Mono(double points, bool bold = false) {
    return ReportFont(KioskFace::LucidaSansTypewriter, points, bold);
}
QFont Arial(double points, bool bold = false, bool italic = false) {
    return ReportFont(KioskFace::Arial, points, bold, italic);
}

// Draws on a page in millimetres from the printable area's top left corner; the bands place
// their elements through it.
class TBandCanvas {
public:
    TBandCanvas(QPainter& painter, double dotsPerMmX, double dotsPerMmY)
        : p_(painter), dotsX_(dotsPerMmX), dotsY_(dotsPerMmY) {}

    void setBandTop(double mm) { top_ = mm; }

    // Text whose box starts at left/top (mm, in the band) and ends at right; the alignment
    // places it in the box.
    void text(double left, double top, double right, const QFont& font, Qt::Alignment align,
              const QString& text) {
        p_.setFont(font);
        const double height = QFontMetricsF(font, p_.device()).height();
        p_.drawText(QRectF(x(left), y(top), x(right) - x(left), height),
                    int(align | Qt::AlignTop) | Qt::TextDontClip, text);
    }
    void leftText(double left, double top, const QFont& font, const QString& s) {
        text(left, top, BandWidthMm + 2, font, Qt::AlignLeft, s);
    }
    void rightText(double right, double top, const QFont& font, const QString& s) {
        text(0, top, right, font, Qt::AlignRight, s);
    }
    void centredText(double top, const QFont& font, const QString& s) {
        text(0, top, BandWidthMm, font, Qt::AlignHCenter, s);
    }
    // A picture fitted into the square, keeping its shape, centred.
    void picture(const QRectF& mm, const QImage& image) {
        if (image.isNull()) return;
        const QRectF box(x(mm.left()), y(mm.top()), mm.width() * dotsX_, mm.height() * dotsY_);
        QSizeF size = image.size();
        size.scale(box.size(), Qt::KeepAspectRatio);
        QRectF target(QPointF(), size);
        target.moveCenter(box.center());
        p_.drawImage(target, image);
    }

private:
    double x(double mm) const { return mm * dotsX_; }
    double y(double mm) const { return (top_ + mm) * dotsY_; }

    QPainter& p_;
    double dotsX_, dotsY_;
    double top_ = 0;
};

std::function<TPrinterDirectory()>& PrinterDirectory() {
    static std::function<TPrinterDirectory()> directory;
    return directory;
}

TPrinterDirectory InstalledPrinters() {
    if (PrinterDirectory()) return PrinterDirectory()();
    return {QPrinterInfo::availablePrinterNames(), QPrinterInfo::defaultPrinterName()};
}

void SetUp(QPrinter& printer, const QString& docName) {
    printer.setPageLayout(TfmReceipt::PageLayout());
    printer.setFullPage(false);
    printer.setCopyCount(1);
    printer.setDocName(docName);
}

}  // namespace

// A band: its height and what it draws, at the band's top.
struct TfmReceipt::Band {
    double heightMm;
    std::function<void(TBandCanvas&)> draw;
};

TfmReceipt::TfmReceipt(TReceipt receipt, const QString& logoPath) : fReceipt(std::move(receipt)) {
    if (QFileInfo(logoPath).isFile()) QRImage1.load(logoPath);  // a bad file leaves it empty
}

QPageLayout TfmReceipt::PageLayout() {
    return QPageLayout(QPageSize(PaperMm, QPageSize::Millimeter, QStringLiteral("Receipt roll"),
                                 QPageSize::ExactMatch),
                       QPageLayout::Portrait, MarginsMm, QPageLayout::Millimeter);
}

std::vector<TfmReceipt::Band> TfmReceipt::bands(int report) const {
    std::vector<Band> result;
    const TReceiptLabels& l = fReceipt.labels;
    if (report == 1) {
        result.push_back({50.3, [this, &l](TBandCanvas& c) {
                              c.picture(QRectF(4.8, 6.1, 16.9, 16.9), QRImage1);
                              c.leftText(25.4, 5.6, Arial(18, true, true),
                                         QStringLiteral("Hilltop"));
                              if (!l.reprint.isEmpty())
                                  c.centredText(0.5, Arial(12, true), l.reprint);
                              c.centredText(23.5, Arial(12, true), l.site1);
                              c.centredText(29.9, Arial(12, true), l.site2);
                              c.centredText(36.2, Arial(12), l.phone);
                              c.text(62.2, 41.8, 62.2 + 9, Arial(12), Qt::AlignHCenter, l.currency);
                          }});
        const TMemTable& rows = fReceipt.cdsReceipt;
        for (int row = 0; row < rows.rowCount(); ++row) {
            const QString product = rows.value(row, QStringLiteral("PRODUCT")).toString();
            const QString amount = ReceiptAmountText(rows.value(row, QStringLiteral("VALUE")));
            result.push_back({DetailHeightMm, [product, amount](TBandCanvas& c) {
                                  c.leftText(2.6, 0, Mono(8), product);
                                  c.rightText(71.7, 0, Mono(8), amount);
                              }});
        }
        result.push_back({47.4, [&l](TBandCanvas& c) {
                              c.rightText(71.2, 3.7, Mono(8), QStringLiteral("-------------"));
                              c.leftText(2.6, 7.1, Mono(10, true), QStringLiteral("TOTAL"));
                              c.rightText(71.7, 7.1, Mono(10, true), l.total);
                              c.leftText(2.6, 13.2, Mono(8), QStringLiteral("Paid By Card"));
                              c.rightText(71.7, 13.2, Mono(8), l.paidByCard);
                              c.leftText(2.6, 24.6, Mono(8),
                                         QStringLiteral("---------------------------------------"));
                              c.leftText(2.6, 28.1, Arial(8), l.timestamp);
                              c.centredText(34.9, Arial(8),
                                            QStringLiteral("Thank you for calling"));
                              c.centredText(39.4, Arial(8), l.vatNo);
                          }});
    } else {
        result.push_back({8.5, [](TBandCanvas& c) {
                              c.centredText(2.1, Mono(10, true),
                                            QStringLiteral("CARD PAYMENT - CUSTOMER COPY"));
                          }});
        const TMemTable& lines = fReceipt.cdsCCCopy;
        for (int row = 0; row < lines.rowCount(); ++row) {
            const QString line = lines.value(row, QStringLiteral("LINE")).toString();
            result.push_back(
                {DetailHeightMm, [line](TBandCanvas& c) { c.leftText(2.6, 0, Mono(8), line); }});
        }
    }
    return result;
}

void TfmReceipt::print(QPrinter& printer, int report) const {
    QPainter painter;
    if (!painter.begin(&printer))
        throw std::runtime_error(QStringLiteral("The receipt could not be printed on %1.")
                                     .arg(printer.outputFileName().isEmpty()
                                              ? printer.printerName()
                                              : printer.outputFileName())
                                     .toStdString());
    const QRectF page = printer.pageLayout().paintRect(QPageLayout::Millimeter);
    TBandCanvas canvas(painter, printer.resolution() / 25.4, printer.resolution() / 25.4);
    double top = 0;
    for (const Band& band : bands(report)) {
        // A band that does not fit goes to the next page, as the roll is cut there.
        if (top > 0 && top + band.heightMm > page.height()) {
            printer.newPage();
            top = 0;
        }
        canvas.setBandTop(top);
        band.draw(canvas);
        top += band.heightMm;
    }
    painter.end();
}

QImage TfmReceipt::render(int report, int dpi) const {
    const std::vector<Band> all = bands(report);
    double height = 0;
    for (const Band& band : all) height += band.heightMm;
    const double dotsPerMm = dpi / 25.4;
    QImage image(qRound(PaperMm.width() * dotsPerMm),
                 qRound((MarginsMm.top() + height + MarginsMm.bottom()) * dotsPerMm),
                 QImage::Format_RGB32);
    image.setDotsPerMeterX(qRound(dotsPerMm * 1000));
    image.setDotsPerMeterY(qRound(dotsPerMm * 1000));
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.translate(MarginsMm.left() * dotsPerMm, MarginsMm.top() * dotsPerMm);
    TBandCanvas canvas(painter, dotsPerMm, dotsPerMm);
    double top = 0;
    for (const Band& band : all) {
        canvas.setBandTop(top);
        band.draw(canvas);
        top += band.heightMm;
    }
    return image;
}

QString ReceiptPrinterName(const TPrinterDirectory& printers, const QString& wanted) {
    const int found = FindPrinter(printers.names, wanted);
    return found >= 0 ? printers.names.at(found) : printers.defaultName;
}

void SetPrinterDirectory(std::function<TPrinterDirectory()> directory) {
    PrinterDirectory() = std::move(directory);
}

QStringList PrintReceipt(fb::Connection& conx, int salesId, const QString& appFolder,
                         const QString& dataFolder, bool reprint) {
    const TfmReceipt form(BuildReceipt(conx, salesId, reprint),
                          IncludeSlash(appFolder) + QStringLiteral("hilltop.jpg"));
    const QString printerName = ReceiptPrinterName(InstalledPrinters(), form.receipt().printerName);
    const QString stamp = Clock::instance().now().toString(QStringLiteral("yyyyMMddhhmmss"));

    QStringList jobs;
    for (const auto& [report, title] :
         {std::pair{1, QStringLiteral("Receipt")}, std::pair{2, QStringLiteral("Card copy")}}) {
        const QString docName = QStringLiteral("%1%2 %3 %4")
                                    .arg(reprint ? QStringLiteral("Reprint ") : QString(), title)
                                    .arg(salesId)
                                    .arg(stamp);
        if (printerName.isEmpty()) {
            // No printer to use: the job is kept as the PDF file it would have printed.
            QPrinter printer(QPrinter::HighResolution);
            printer.setOutputFormat(QPrinter::PdfFormat);
            const QString file = IncludeSlash(dataFolder) + QStringLiteral("Printed/") +
                                 QString(docName).replace(u' ', u'-') + QStringLiteral(".pdf");
            IncludeSlash(QFileInfo(file).path(), true);
            printer.setOutputFileName(file);
            SetUp(printer, docName);
            form.print(printer, report);
            jobs << file;
        } else {
            QPrinter printer(QPrinterInfo::printerInfo(printerName), QPrinter::HighResolution);
            SetUp(printer, docName);
            form.print(printer, report);
            jobs << printerName;
        }
    }
    return jobs;
}

void ReprintLastReceipt(fb::Connection& conx, const QString& appFolder, const QString& dataFolder) {
    const int sale = TPaymentJournal(conx).lastPaidSale();
    if (sale <= 0) {
        ShowInformation(QStringLiteral("There is no paid sale to reprint."));
        return;
    }
    PrintReceipt(conx, sale, appFolder, dataFolder, true);
}
