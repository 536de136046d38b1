#include "settings/SettingsDialog.h"

#include "widgets/ColourCombo.h"
#include "widgets/LinkLabel.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QTimer>

#include <algorithm>
#include <limits>
#include <type_traits>

namespace zarvello {
namespace {

// The project's own addresses.
constexpr QLatin1StringView kWebAddress("zarvello.example.org");
constexpr QLatin1StringView kMailAddress("zarvello-dev@example.org");

QFont dialogFont()
{
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(11);
    return font;
}

QGroupBox* group(QWidget* parent, const char* caption, QRect bounds)
{
    auto* box = new QGroupBox(QString::fromLatin1(caption), parent);
    box->setGeometry(bounds);
    return box;
}

QCheckBox* checkBox(QWidget* parent, const char* caption, QPoint at, QSize size)
{
    auto* box = new QCheckBox(QString::fromLatin1(caption), parent);
    box->setGeometry(QRect(at, size));
    return box;
}

PairedRadio* radio(QWidget* parent, const char* caption, QPoint at)
{
    auto* button = new PairedRadio(QString::fromLatin1(caption), parent);
    button->setGeometry(QRect(at, QSize(90, 17)));
    return button;
}

ColourCombo* colourCombo(QWidget* parent, QPoint at)
{
    auto* combo = new ColourCombo(parent);
    combo->setGeometry(QRect(at, QSize(92, 18)));
    combo->setItemHeight(12);
    combo->fillColourList();
    combo->setCurrentIndex(-1);
    return combo;
}

QLabel* label(QWidget* parent, const char* caption, QPoint at)
{
    auto* text = new QLabel(QString::fromLatin1(caption), parent);
    text->move(at);
    text->adjustSize();
    return text;
}

} // namespace

// ---- PairedRadio ------------------------------------------------------------------------

PairedRadio::PairedRadio(const QString& text, QWidget* parent) : QRadioButton(text, parent)
{
    setAutoExclusive(false);
}

void PairedRadio::nextCheckState()
{
    setChecked(true);
}

// ---- SpinEdit ---------------------------------------------------------------------------

SpinEdit::SpinEdit(QWidget* parent) : QAbstractSpinBox(parent)
{
    setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
    lineEdit()->setText(QStringLiteral("0"));
    connect(lineEdit(), &QLineEdit::textChanged, this, &SpinEdit::changed);
}

int SpinEdit::Value() const
{
    bool ok = false;
    const int value = lineEdit()->text().trimmed().toInt(&ok);
    return ok ? value : 0;
}

void SpinEdit::setValue(int value)
{
    setText(QString::number(value));
}

QString SpinEdit::Text() const
{
    return lineEdit()->text();
}

void SpinEdit::setText(const QString& text)
{
    lineEdit()->setText(text);
}

QValidator::State SpinEdit::validate(QString& input, int& /*pos*/) const
{
    const QString decimal = QLocale().decimalPoint();
    for (const QChar c : input) {
        if (!c.isDigit() && c != u'+' && c != u'-' && !decimal.contains(c)) {
            return QValidator::Invalid;
        }
    }
    return QValidator::Acceptable;
}

void SpinEdit::stepBy(int steps)
{
    const auto next = static_cast<long long>(Value()) + steps;
    setValue(static_cast<int>(std::clamp<long long>(next, std::numeric_limits<int>::min(),
                                                    std::numeric_limits<int>::max())));
}

QAbstractSpinBox::StepEnabled SpinEdit::stepEnabled() const
{
    return StepUpEnabled | StepDownEnabled;
}

// ---- SettingsDialog ----------------------------------------------------------------------

SettingsDialog::SettingsDialog(Settings& model, QWidget* parent)
    : QWidget(parent, Qt::Tool), model_(model)
{
    setWindowTitle(QStringLiteral("Settings"));
    setFont(dialogFont());
    setFixedSize(230, 422);
    setAutoFillBackground(true);

    QGroupBox* display = group(this, "Display Settings", {2, 2, 110, 114});
    In1 = bind(Option::In, checkBox(display, "In", {4, 14}, {80, 17}));
    Out1 = bind(Option::Out, checkBox(display, "Out", {4, 30}, {80, 17}));
    MaxSpeed1 = bind(Option::MaxSpeed, checkBox(display, "Peak Speed", {4, 46}, {80, 17}));
    Percent1 = bind(Option::Percent, checkBox(display, "Percents", {4, 62}, {80, 17}));
    Horiz1 = bind(Option::Horiz, checkBox(display, "Horizontal", {4, 79}, {80, 17}));
    Shrink1 = bind(Option::Shrink, checkBox(display, "Less Info", {4, 95}, {80, 17}));

    QGroupBox* other = group(this, "Other", {2, 116, 110, 62});
    OnTop1 = bind(Option::OnTop, checkBox(other, "Always On Top", {3, 11}, {97, 17}));
    Dock1 = bind(Option::Dock, checkBox(other, "Docking", {3, 27}, {97, 17}));
    TaskBar1 = bind(Option::TaskBar, checkBox(other, "Task Bar", {3, 43}, {97, 17}));

    QGroupBox* units = group(this, "Bytes/Bits", {2, 179, 110, 50});
    KiloBytes1 = bind(Option::KiloBytes, radio(units, "Kilo-Bytes", {4, 13}));
    KiloBits1 = bind(Option::KiloBits, radio(units, "Kilo-Bits", {4, 30}));

    QGroupBox* tray = group(this, "Tray Icon", {2, 230, 110, 68});
    TrayIconIn = bind(Option::TrayIconIn, radio(tray, "In Speed", {3, 13}));
    TrayIconOut = bind(Option::TrayIconOut, radio(tray, "Out Speed", {3, 30}));
    TrayIconEnabled = bind(Option::TrayIcon, checkBox(tray, "Enabled", {3, 46}, {97, 17}));

    QGroupBox* inColours = group(this, "In Bar Colors", {122, 2, 103, 88});
    label(inColours, "Start:", {6, 14});
    InColor1 = bind(Option::InColor1, colourCombo(inColours, {6, 30}));
    label(inColours, "End:", {6, 47});
    InColor2 = bind(Option::InColor2, colourCombo(inColours, {6, 63}));

    QGroupBox* outColours = group(this, "Out Bar Colors", {122, 90, 103, 88});
    label(outColours, "Start:", {6, 14});
    OutColor1 = bind(Option::OutColor1, colourCombo(outColours, {6, 30}));
    label(outColours, "End:", {6, 47});
    OutColor2 = bind(Option::OutColor2, colourCombo(outColours, {6, 63}));

    QGroupBox* trayColours = group(this, "Tray Icon Colors", {122, 179, 103, 86});
    label(trayColours, "Background:", {6, 12});
    TrayIconBakColor = bind(Option::TrayBakColor, colourCombo(trayColours, {6, 28}));
    label(trayColours, "Foreground:", {6, 46});
    TrayIconForColor = bind(Option::TrayForColor, colourCombo(trayColours, {6, 62}));

    QGroupBox* trayDisplay = group(this, "Tray Display", {122, 268, 103, 49});
    TrayPercent = bind(Option::TrayPercent, radio(trayDisplay, "Percentage", {3, 13}));
    TrayActual = bind(Option::TrayActual, radio(trayDisplay, "Actual Speed", {3, 29}));

    QGroupBox* fontSize = group(this, "Font Size", {122, 320, 103, 49});
    SmallFont = bind(Option::SmallFont, radio(fontSize, "Small", {3, 12}));
    LargeFont = bind(Option::LargeFont, radio(fontSize, "Large", {3, 28}));

    QGroupBox* peak = group(this, "Peak Speed", {122, 374, 103, 43});
    PeakSpeed = bind(Option::PeakSpeed, new SpinEdit(peak));
    PeakSpeed->setGeometry(7, 15, 54, 22);
    label(peak, "KBs", {67, 20});

    Button1 = new QPushButton(QStringLiteral("About"), this);
    Button1->setGeometry(12, 301, 90, 25);
    ImproveSpeed = new QPushButton(QStringLiteral("Improve Speed"), this);
    ImproveSpeed->setGeometry(12, 328, 90, 25);
    label(this, "Comments:", {31, 354});

    URLLabel2 = new LinkLabel(this);
    URLLabel2->setLinkType(LinkType::Mailto);
    URLLabel2->setUrlHint(true);
    URLLabel2->setUrl(kMailAddress);
    URLLabel2->setCaption(kMailAddress);
    URLLabel2->move(0, 371);
    URLLabel1 = new LinkLabel(this);
    URLLabel1->setLinkType(LinkType::Http);
    URLLabel1->setUrlHint(true);
    URLLabel1->setUrl(kWebAddress);
    URLLabel1->setCaption(kWebAddress);
    URLLabel1->move(9, 398);
    for (LinkLabel* link : {URLLabel1, URLLabel2}) {
        link->setFixedHeight(13);
        link->adjustSize();
    }

    // Only a user's pick counts as a change; the "End:" combos have no handler.
    for (ColourCombo* combo : {InColor1, OutColor1, TrayIconBakColor, TrayIconForColor}) {
        connect(combo, &QComboBox::activated, this, &SettingsDialog::arrangeRequested);
    }
    connect(&model_, &Settings::changed, this, &SettingsDialog::reflect);
    for (const OptionInfo& info : kOptions) {
        reflect(info.option);
    }
    connect(Button1, &QPushButton::clicked, this, &SettingsDialog::aboutRequested);
    connect(ImproveSpeed, &QPushButton::clicked, this, &SettingsDialog::improveSpeedRequested);

    Timer1 = new QTimer(this);
    Timer1->setInterval(100);
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
    Timer1->start();
}

template <typename Control> Control* SettingsDialog::bind(Option option, Control* control)
{
    controls_[static_cast<size_t>(option)] = control;
    if constexpr (std::is_same_v<Control, SpinEdit>) {
        connect(control, &SpinEdit::changed, this, [this, option] {
            model_.set(option, PeakSpeed->Value());
            PeakSpeedChange();
        });
    } else if constexpr (std::is_same_v<Control, ColourCombo>) {
        connect(control, &QComboBox::currentIndexChanged, this,
                [this, option](int index) { model_.set(option, index); });
    } else {
        connect(control, &QAbstractButton::toggled, this,
                [this, option](bool on) { model_.set(option, on ? 1 : 0); });
    }
    return control;
}

void SettingsDialog::reflect(Option option)
{
    QWidget* control = controls_[static_cast<size_t>(option)];
    const int value = model_.value(option);
    // Blocked, so showing a value is not taken for a user's change of it; the
    // peak's text alone changes as typing would, for the reset that follows a 0.
    const QSignalBlocker blocker(option == Option::PeakSpeed ? nullptr : control);
    switch (optionInfo(option).kind) {
    case OptionKind::Flag:
    case OptionKind::Choice:
        static_cast<QAbstractButton*>(control)->setChecked(value != 0);
        break;
    case OptionKind::Colour:
        static_cast<ColourCombo*>(control)->setCurrentIndex(value);
        break;
    case OptionKind::Number:
        if (control == PeakSpeed && PeakSpeed->Value() != value) {
            PeakSpeed->setValue(value);
        }
        break;
    }
}

void SettingsDialog::setComboFont(const QFont& font)
{
    for (ColourCombo* combo :
         {InColor1, InColor2, OutColor1, OutColor2, TrayIconBakColor, TrayIconForColor}) {
        combo->setFont(font);
    }
}

void SettingsDialog::PeakSpeedChange()
{
    if (PeakSpeed->Value() == 0) {
        Q_EMIT peakResetRequested();
    }
}

void SettingsDialog::FormClose()
{
    Q_EMIT onTopRequested(model_.flag(Option::OnTop));
    Q_EMIT arrangeRequested();
}

void SettingsDialog::Timer1Timer()
{
    Timer1->stop();
    loaded_ = true;
    Q_EMIT loadRequested();
}

void SettingsDialog::closeEvent(QCloseEvent* event)
{
    FormClose();
    event->accept(); // hides: the dialog lives as long as the program
}

void SettingsDialog::showEvent(QShowEvent* event)
{
    // Centred on the desktop the first time it opens.
    if (!placed_) {
        placed_ = true;
        if (const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen()) {
            move(s->availableGeometry().center() - rect().center());
        }
    }
    QWidget::showEvent(event);
}

} // namespace zarvello
