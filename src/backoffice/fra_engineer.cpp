#include "backoffice/fra_engineer.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPrinterInfo>
#include <QRadioButton>
#include <QScrollArea>
#include <QTimeEdit>
#include <QVBoxLayout>
#include <algorithm>
#include <type_traits>

#include "app/dm_main.h"
#include "app/uGlobals.h"
#include "payment/uTestMode.h"
#include "ui/AdvDialogs.h"
#include "ui/fra_tile.h"
#include "ui/wg_Colours.h"
#include "ui/wg_Fonts.h"
#include "ui/wg_KeypadNavigation.h"
#include "ui/wg_KioskApplication.h"

namespace {

constexpr int BottomBarHeight = 91;
constexpr QSize CloseButtonSize{100, 75};
constexpr QSize SwatchSize{145, 24};
constexpr int CloseButtonColour = 13041606;  // light green, a Windows colour value
constexpr int TextLength = 255;              // of the folder and printer name columns
constexpr int CaptionWidth = 170;            // one column of captions through the three boxes

template <class T>
T* Named(T* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QComboBox* MakeCombo(const char* name, const QStringList& items, QWidget* parent) {
    auto* combo = Named(new QComboBox(parent), name);
    combo->setEditable(true);  // typed text as well as a choice
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->addItems(items);
    combo->lineEdit()->setMaxLength(TextLength);
    return combo;
}

QFormLayout* MakeForm(QGroupBox* box) {
    auto* form = new QFormLayout(box);
    form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    form->setHorizontalSpacing(16);
    form->setContentsMargins(16, 12, 16, 12);
    return form;
}

template <class Field>
void AddRow(QFormLayout* form, const QString& caption, Field* field) {
    auto* label = new QLabel(caption);
    label->setFixedWidth(CaptionWidth);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // Level with the middle of its field, however tall the style makes that.
    if constexpr (std::is_base_of_v<QWidget, Field>) {
        field->ensurePolished();
        // A panel without a layout has no size hint, only its fixed size.
        label->setMinimumHeight(std::max(field->sizeHint().height(), field->minimumHeight()));
        // A screen reader names the field by its caption; an editable list's own text box too.
        label->setBuddy(field);
        if constexpr (std::is_base_of_v<QComboBox, Field>)
            if (field->lineEdit()) field->lineEdit()->setAccessibleName(caption);
    }
    form->addRow(label, field);
}

void SetWidth(std::initializer_list<QWidget*> widgets, int width) {
    for (QWidget* widget : widgets) widget->setFixedWidth(width);
}

}  // namespace

TfraEngineer::TfraEngineer(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("tsEngineer"));
    setFont(KioskFont(KioskFace::Tahoma, 13));

    auto* content = new QWidget;
    content->setObjectName(QStringLiteral("sbEngineer"));
    auto* groups = new QVBoxLayout(content);
    groups->setContentsMargins(16, 16, 16, 16);
    groups->setSpacing(12);
    groups->addWidget(buildGeneral());
    groups->addWidget(buildInternals());
    groups->addWidget(buildBranding());
    groups->addWidget(buildCodes());
    groups->addStretch(1);

    auto* scroll = Named(new QScrollArea(this), "sbEngineerScroll");
    scroll->setWidget(content);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setFrameShape(QFrame::NoFrame);

    lbNotice = Named(new QLabel(this), "lbNotice");
    lbNotice->setWordWrap(true);
    lbNotice->setStyleSheet(QStringLiteral("background: #fff3b0; color: #5a3c00; padding: 8px;"));
    lbNotice->hide();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(lbNotice);
    layout->addWidget(scroll, 1);
    layout->addWidget(buildBottomBar());
}

void TfraEngineer::showNotice(const QString& notice) {
    lbNotice->setText(notice);
    lbNotice->setVisible(!notice.isEmpty());
}

QWidget* TfraEngineer::buildGeneral() {
    auto* box = Named(new QGroupBox(QStringLiteral("General"), this), "gbGeneral");
    rb_Euro = Named(new QRadioButton(QStringLiteral("Euro"), box), "rb_Euro");
    rb_STG = Named(new QRadioButton(QStringLiteral("£STG"), box), "rb_STG");
    auto* currency = new QButtonGroup(box);
    currency->addButton(rb_Euro);
    currency->addButton(rb_STG);
    auto* currencies = new QHBoxLayout;
    currencies->addWidget(rb_Euro);
    currencies->addWidget(rb_STG);
    currencies->addStretch(1);

    DBCheckBox1 = Named(new QCheckBox(QStringLiteral("Top-Ups"), box), "DBCheckBox1");
    DBEdit1 = Named(new QLineEdit(box), "DBEdit1");
    rDBDateTimePicker1 = Named(new QTimeEdit(box), "rDBDateTimePicker1");
    rDBDateTimePicker1->setDisplayFormat(QStringLiteral("HH:mm"));
    DBEdit2 = Named(new QLineEdit(box), "DBEdit2");
    DBEdit3 = Named(new QLineEdit(box), "DBEdit3");
    DBEdit3->setMaxLength(TextLength);
    SetWidth({DBEdit1, rDBDateTimePicker1, DBEdit2}, 90);
    DBEdit3->setMinimumWidth(320);

    QFormLayout* form = MakeForm(box);
    AddRow(form, QStringLiteral("Base Currency"), currencies);
    AddRow(form, QString(), DBCheckBox1);
    AddRow(form, QStringLiteral("Debug"), DBEdit1);
    AddRow(form, QStringLiteral("Day-End"), rDBDateTimePicker1);
    AddRow(form, QStringLiteral("Keep Sales for x Day(s)"), DBEdit2);
    AddRow(form, QStringLiteral("SagePay Report Folder"), DBEdit3);
    return box;
}

QWidget* TfraEngineer::buildInternals() {
    auto* box = Named(new QGroupBox(QStringLiteral("Internals"), this), "gbInternals");
    cbo_PrinterSpec = MakeCombo("cbo_PrinterSpec", {"TMTxx : USB", "NCR : USB"}, box);
    edt_PrinterName = MakeCombo("edt_PrinterName", {}, box);
    cbo_IntDisplayPort =
        MakeCombo("cbo_IntDisplayPort", {"COM1", "COM2", "COM3", "COM4", "COM5", "COM6"}, box);
    edt_IntDisplayChars = Named(new QLineEdit(box), "edt_IntDisplayChars");
    cbo_IntDisplpayType = MakeCombo(
        "cbo_IntDisplpayType",
        {"Epson", "J2", "WN-BA63", "WN-BA63USB", "VGA", "NCR-integrated", "NCR-pole"}, box);
    SetWidth({cbo_PrinterSpec, cbo_IntDisplayPort, cbo_IntDisplpayType}, 180);
    edt_IntDisplayChars->setFixedWidth(90);
    edt_PrinterName->setMinimumWidth(320);

    QFormLayout* form = MakeForm(box);
    AddRow(form, QStringLiteral("Printer Type"), cbo_PrinterSpec);
    AddRow(form, QStringLiteral("Printer Name"), edt_PrinterName);
    AddRow(form, QStringLiteral("Display Port"), cbo_IntDisplayPort);
    AddRow(form, QStringLiteral("Display Characters"), edt_IntDisplayChars);
    AddRow(form, QStringLiteral("Display Type"), cbo_IntDisplpayType);
    return box;
}

QWidget* TfraEngineer::buildBranding() {
    auto* box = Named(new QGroupBox(QStringLiteral(" Branding "), this), "gbBranding");
    pnBrandingColour = Named(new TClickPanel(box), "pnBrandingColour");
    pnBrandingColour->setFixedSize(SwatchSize);
    pnBrandingColour->setFrameShape(QFrame::NoFrame);
    pnBrandingColour->setCursor(Qt::PointingHandCursor);
    pnBrandingColour->setAccessibleName(QStringLiteral("Branding colour"));
    MakeKeypadKey(pnBrandingColour);
    connect(pnBrandingColour, &TClickPanel::clicked, this, &TfraEngineer::brandingColourClicked);

    QFormLayout* form = MakeForm(box);
    AddRow(form, QStringLiteral("Base Colour"), pnBrandingColour);
    return box;
}

// How the scanner's GS1 codes are read: what it sends for the group separator, and whether a
// best-before date stops a product as a use-by date does.
QWidget* TfraEngineer::buildCodes() {
    auto* box = Named(new QGroupBox(QStringLiteral("Codes"), this), "gbCodes");
    edt_Gs1Separator = Named(new QLineEdit(box), "edt_Gs1Separator");
    edt_Gs1Separator->setMaxLength(kMaxGs1SeparatorLength);
    edt_Gs1Separator->setFixedWidth(90);
    chk_StopBestBefore =
        Named(new QCheckBox(QStringLiteral("Stop Past Best-Before"), box), "chk_StopBestBefore");
    QFormLayout* form = MakeForm(box);
    AddRow(form, QStringLiteral("GS1 Separator Sent As"), edt_Gs1Separator);
    AddRow(form, QString(), chk_StopBestBefore);
    return box;
}

QWidget* TfraEngineer::buildBottomBar() {
    auto* bar = Named(new QWidget(this), "pnEngineerBottom");
    bar->setFixedHeight(BottomBarHeight);
    cmCloseEngineerScreen =
        new TfraTile(QStringLiteral("cmCloseEngineerScreen"), QStringLiteral("Close Screen"),
                     WinColour(CloseButtonColour), KioskTextColour, bar);
    cmCloseEngineerScreen->setFixedSize(CloseButtonSize);
    MarkEscapeKey(cmCloseEngineerScreen);
    connect(cmCloseEngineerScreen, &TClickPanel::clicked, this, &TfraEngineer::closeScreenClicked);
    auto* layout = new QHBoxLayout(bar);
    layout->setContentsMargins(16, 8, 16, 8);
    layout->addWidget(cmCloseEngineerScreen);
    layout->addStretch(1);
    return bar;
}

void TfraEngineer::LoadPrinterNames() {
    const QString text = edt_PrinterName->currentText();
    edt_PrinterName->clear();
    edt_PrinterName->addItems(QPrinterInfo::availablePrinterNames());
    edt_PrinterName->setEditText(text);
}

void TfraEngineer::setSettings(const TEngineerSettings& settings) {
    (settings.sterling ? rb_STG : rb_Euro)->setChecked(true);
    DBCheckBox1->setChecked(settings.hasTopups);
    DBEdit1->setText(settings.debug);
    rDBDateTimePicker1->setTime(settings.dayEnd);
    DBEdit2->setText(settings.keepSalesDays);
    DBEdit3->setText(settings.sagePayReports);
    edt_PrinterName->setEditText(settings.printerName);
    fBrandingColourTag = settings.brandingColour;
    paintSwatch();
    cbo_PrinterSpec->setEditText(settings.printerSpec);
    cbo_IntDisplayPort->setEditText(settings.displayPort);
    cbo_IntDisplpayType->setEditText(settings.displayType);
    edt_IntDisplayChars->setText(settings.displayChars);
    edt_Gs1Separator->setText(settings.gs1Separator);
    chk_StopBestBefore->setChecked(settings.stopBestBefore);
}

TEngineerSettings TfraEngineer::settings() const {
    TEngineerSettings settings;
    settings.sterling = !rb_Euro->isChecked();
    settings.hasTopups = DBCheckBox1->isChecked();
    settings.debug = DBEdit1->text();
    settings.dayEnd = rDBDateTimePicker1->time();
    settings.keepSalesDays = DBEdit2->text();
    settings.sagePayReports = DBEdit3->text();
    settings.printerName = edt_PrinterName->currentText();
    settings.brandingColour = fBrandingColourTag;
    settings.printerSpec = cbo_PrinterSpec->currentText();
    settings.displayPort = cbo_IntDisplayPort->currentText();
    settings.displayType = cbo_IntDisplpayType->currentText();
    settings.displayChars = edt_IntDisplayChars->text();
    settings.gs1Separator = edt_Gs1Separator->text();
    settings.stopBestBefore = chk_StopBestBefore->isChecked();
    return settings;
}

void TfraEngineer::pickBrandingColour() {
    QColorDialog dialog(WinColour(fBrandingColourTag), this);
    dialog.setObjectName(QStringLiteral("dlgBrandingColour"));
    dialog.setOption(QColorDialog::DontUseNativeDialog);
    if (dialog.exec() == QDialog::Accepted)
        fBrandingColourTag = WinColourValue(dialog.selectedColor());
    paintSwatch();
}

void TfraEngineer::paintSwatch() {
    pnBrandingColour->setColour(WinColour(fBrandingColourTag));
}

void TfraEngineer::load(Tdm& dm) {
    setSettings(LoadEngineerSettings(dm.conx, dm.RunTime, BrandingColour));
}

bool TfraEngineer::save(Tdm& dm) {
    try {
        if (SavingStartsTestMode(dm.conx, settings()) &&
            ShowQuestion(TestModeWarningText + QStringLiteral(".\n\nStart test mode?"),
                         QStringLiteral("Test Mode")) != mrYes)
            return false;
        SaveEngineerSettings(dm, settings());
    } catch (const std::exception& e) {
        TKioskApplication::reportError(QString::fromUtf8(e.what()));
        return false;
    }
    return true;
}
