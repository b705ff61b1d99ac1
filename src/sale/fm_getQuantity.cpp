#include "sale/fm_getQuantity.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <limits>

#include "app/uSpeech.h"
#include "app/uText.h"
#include "sale/fra_keyboard.h"
#include "sale/uSearch.h"
#include "ui/AdvDialogs.h"
#include "ui/wg_Fonts.h"
#include "ui/wg_KeypadNavigation.h"

namespace {

constexpr int Margin = 16;
constexpr QSize StepSize{46, 47};
constexpr QSize FooterSize{129, 72};

QPushButton* MakeButton(const QString& name, const QString& caption, const QFont& font,
                        QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setFont(font);
    MakeKeypadKey(button);
    button->setAutoDefault(false);
    return button;
}

}  // namespace

const QString TfmGetQuantity::Question = QStringLiteral("How many do you have?");
const QString TfmGetQuantity::RefusedText =
    QStringLiteral("Please enter a number up to %1").arg(kMaxQuantity);

TfmGetQuantity::TfmGetQuantity(QWidget* parent) : TfmBaseDialog(parent) {
    setObjectName(QStringLiteral("fmGetQuantity"));
    setHeaderCaption(QStringLiteral("Quantity Needed"));
    QWidget* client = clientArea();
    const int width = ClientSize.width();

    auto* question = new QLabel(Question, client);
    question->setObjectName(QStringLiteral("lbQuestion"));
    question->setFont(KioskFont(KioskFace::Tahoma, 21));
    question->setAlignment(Qt::AlignCenter);
    question->setGeometry(Margin, HeaderHeight + 8, width - 2 * Margin, 34);
    lbQuestion = question;

    const int qtyTop = HeaderHeight + 50;
    const QFont stepFont = KioskFont(KioskFace::Tahoma, 32, true);
    cmPlus = MakeButton(QStringLiteral("cmPlus"), QStringLiteral("+"), stepFont, client);
    cmPlus->setGeometry(QRect(QPoint(Margin, qtyTop), StepSize));
    cmMinus = MakeButton(QStringLiteral("cmMinus"), QStringLiteral("-"), stepFont, client);
    cmMinus->setGeometry(QRect(QPoint(width - Margin - StepSize.width(), qtyTop), StepSize));
    lbQty = new QLabel(QStringLiteral("0"), client);
    lbQty->setObjectName(QStringLiteral("lbQty"));
    lbQty->setTextFormat(Qt::PlainText);
    lbQty->setFont(KioskFont(KioskFace::Tahoma, 32));
    lbQty->setAlignment(Qt::AlignCenter);
    lbQty->setGeometry(Margin + StepSize.width(), qtyTop, width - 2 * (Margin + StepSize.width()),
                       StepSize.height());

    const int footerTop = ClientSize.height() - 8 - FooterSize.height();
    const int keypadTop = qtyTop + StepSize.height() + 8;
    fraKeyboard1 = new TfraKeyboard(client);
    fraKeyboard1->setGeometry(Margin * 3, keypadTop, width - 6 * Margin, footerTop - 8 - keypadTop);

    const QFont footerFont = KioskFont(KioskFace::Tahoma, 16, true);
    cmOK = MakeButton(QStringLiteral("cmOK"), QStringLiteral("OK"), footerFont, client);
    cmOK->setGeometry(QRect(QPoint(Margin, footerTop), FooterSize));
    cmCancel = MakeButton(QStringLiteral("cmCancel"), QStringLiteral("Cancel"), footerFont, client);
    cmCancel->setGeometry(
        QRect(QPoint(width - Margin - FooterSize.width(), footerTop), FooterSize));

    connect(fraKeyboard1, &TfraKeyboard::keyClicked, this, &TfmGetQuantity::cmKeyboardClick);
    MarkEscapeKey(cmCancel);
    connect(cmPlus, &QPushButton::clicked, this, &TfmGetQuantity::cmPlusClick);
    connect(cmMinus, &QPushButton::clicked, this, &TfmGetQuantity::cmMinusClick);
    connect(cmOK, &QPushButton::clicked, this, &TfmGetQuantity::cmOKClick);
    connect(cmCancel, &QPushButton::clicked, this, [this] { done(mrCancel); });
    connect(ebScanBuffer, &QLineEdit::textChanged, this, &TfmGetQuantity::ebScanBufferChange);
    connect(cmEndScan, &QPushButton::clicked, this, &TfmGetQuantity::cmOKClick);
}

void TfmGetQuantity::showEvent(QShowEvent* event) {
    TfmBaseDialog::showEvent(event);
    FormShow();
}

void TfmGetQuantity::FormShow() {
    fraKeyboard1->Initialise(1);
    ebScanBuffer->setFocus();
}

// A digit follows a quantity other than 0 and replaces a 0; "Clear" starts again at 0.
void TfmGetQuantity::cmKeyboardClick(int tag, const QString& caption) {
    if (tag == TfraKeyboard::TagClear)
        showQuantity(QStringLiteral("0"));
    else if (TextToInt(lbQty->text(), 0) != 0)
        showQuantity(lbQty->text() + caption);
    else
        showQuantity(caption);
}

void TfmGetQuantity::cmPlusClick() {
    const qint64 quantity = TextToInt(lbQty->text(), 0);
    if (quantity < std::numeric_limits<qint64>::max()) showQuantity(QString::number(quantity + 1));
}

void TfmGetQuantity::cmMinusClick() {
    const qint64 quantity = TextToInt(lbQty->text(), 0);
    if (quantity > 0) showQuantity(QString::number(quantity - 1));
}

void TfmGetQuantity::ebScanBufferChange(const QString& text) {
    showQuantity(text);
}

// A quantity the sale cannot take (a scanned barcode, more than the most) is refused in the
// dialog, which starts again from 0, so the product picked is not lost.
void TfmGetQuantity::cmOKClick() {
    if (IsQuantityText(lbQty->text())) {
        done(mrOk);
        return;
    }
    lbQuestion->setText(RefusedText);
    TSpeaker::instance().say(RefusedText, TSpeechKind::Error);
    const QSignalBlocker quiet(ebScanBuffer);
    ebScanBuffer->clear();
    showQuantity(QStringLiteral("0"));
}

// Each change of the quantity is heard as it is seen.
void TfmGetQuantity::showQuantity(const QString& text) {
    if (text == lbQty->text()) return;
    lbQty->setText(text);
    TSpeaker::instance().say(QStringLiteral("Quantity ") + text);
}

int GetQuantity(QWidget* parent) {
    TfmGetQuantity dialog(parent);
    return dialog.exec() == mrOk ? QuantityOfText(dialog.lbQty->text()) : 0;
}
