#include "settings/SettingsDialog.h"

#include "widgets/ColourCombo.h"
#include "widgets/LinkLabel.h"
#include "widgets/StandInFonts.h"

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
#include <chrono>
#include <cstddef>
#include <limits>
#include <tuple>
#include <type_traits>

namespace zarvello {
namespace {

// The stored options are loaded once the event loop runs, this long after start-up.
constexpr std::chrono::milliseconds kLoadDelay{100};

// The project's own addresses.
constexpr QLatin1StringView kWebAddress("zarvello.example.org");
constexpr QLatin1StringView kMailAddress("zarvello-dev@example.org");

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
    connect(lineEdit(), &QLineEdit::textChanged, this, &SpinEdit::textChanged);
}

int SpinEdit::value() const
{
    return lineEdit()->text().trimmed().toInt(); // 0 when it is no number
}

void SpinEdit::setValue(int value)
{
    setTypedText(QString::number(value));
}

void SpinEdit::setTypedText(const QString& text)
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
    const auto next = static_cast<long long>(value()) + steps;
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
    setFont(pixelFont("MS Sans Serif", k8ptPixels));
    setFixedSize(230, 422);
    setAutoFillBackground(true);

    using enum Option;
    QGroupBox* display = group(this, "Display Settings", {2, 2, 110, 114});
    bind(In, checkBox(display, "In", {4, 14}, {80, 17}));
    bind(Out, checkBox(display, "Out", {4, 30}, {80, 17}));
    bind(MaxSpeed, checkBox(display, "Peak Speed", {4, 46}, {80, 17}));
    bind(Percent, checkBox(display, "Percents", {4, 62}, {80, 17}));
    bind(Horiz, checkBox(display, "Horizontal", {4, 79}, {80, 17}));
    bind(Shrink, checkBox(display, "Less Info", {4, 95}, {80, 17}));

    QGroupBox* other = group(this, "Other", {2, 116, 110, 62});
    bind(OnTop, checkBox(other, "Always On Top", {3, 11}, {97, 17}));
    bind(Dock, checkBox(other, "Docking", {3, 27}, {97, 17}));
    bind(TaskBar, checkBox(other, "Task Bar", {3, 43}, {97, 17}));

    QGroupBox* units = group(this, "Bytes/Bits", {2, 179, 110, 50});
    bind(KiloBytes, radio(units, "Kilo-Bytes", {4, 13}));
    bind(KiloBits, radio(units, "Kilo-Bits", {4, 30}));

    QGroupBox* tray = group(this, "Tray Icon", {2, 230, 110, 68});
    bind(TrayIconIn, radio(tray, "In Speed", {3, 13}));
    bind(TrayIconOut, radio(tray, "Out Speed", {3, 30}));
    bind(TrayIcon, checkBox(tray, "Enabled", {3, 46}, {97, 17}));

    // Each colour combo sits 16 pixels below its label.
    const auto colourRow = [this](QGroupBox* box, const char* caption, Option option, int top) {
        label(box, caption, {6, top});
        bind(option, colourCombo(box, {6, top + 16}));
    };
    QGroupBox* inColours = group(this, "In Bar Colors", {122, 2, 103, 88});
    colourRow(inColours, "Start:", InColor1, 14);
    colourRow(inColours, "End:", InColor2, 47);

    QGroupBox* outColours = group(this, "Out Bar Colors", {122, 90, 103, 88});
    colourRow(outColours, "Start:", OutColor1, 14);
    colourRow(outColours, "End:", OutColor2, 47);

    QGroupBox* trayColours = group(this, "Tray Icon Colors", {122, 179, 103, 86});
    colourRow(trayColours, "Background:", TrayBakColor, 12);
    colourRow(trayColours, "Foreground:", TrayForColor, 46);

    QGroupBox* trayDisplay = group(this, "Tray Display", {122, 268, 103, 49});
    bind(TrayPercent, radio(trayDisplay, "Percentage", {3, 13}));
    bind(TrayActual, radio(trayDisplay, "Actual Speed", {3, 29}));

    QGroupBox* fontSize = group(this, "Font Size", {122, 320, 103, 49});
    bind(SmallFont, radio(fontSize, "Small", {3, 12}));
    bind(LargeFont, radio(fontSize, "Large", {3, 28}));

    QGroupBox* peak = group(this, "Peak Speed", {122, 374, 103, 43});
    peak_ = bind(PeakSpeed, new SpinEdit(peak));
    peak_->setGeometry(7, 15, 54, 22);
    label(peak, "KBs", {67, 20});

    auto* about = new QPushButton(QStringLiteral("About"), this);
    about->setGeometry(12, 301, 90, 25);
    auto* improveSpeed = new QPushButton(QStringLiteral("Improve Speed"), this);
    improveSpeed->setGeometry(12, 328, 90, 25);
    label(this, "Comments:", {31, 354});

    // The mail link lies under the web link.
    for (const auto& [type, address, at] :
         {std::tuple{LinkType::Mailto, kMailAddress, QPoint(0, 371)},
          std::tuple{LinkType::Http, kWebAddress, QPoint(9, 398)}}) {
        auto* link = new LinkLabel(this);
        link->setLinkType(type);
        link->setUrlHint(true);
        link->setUrl(address);
        link->setCaption(address);
        link->move(at);
        link->setFixedHeight(13);
        link->adjustSize();
    }

    // Only a user's pick counts as a change; the "End:" combos have no handler.
    for (const Option option : {InColor1, OutColor1, TrayBakColor, TrayForColor}) {
        connect(control<ColourCombo>(option), &QComboBox::activated, this,
                &SettingsDialog::arrangeRequested);
    }
    connect(&model_, &Settings::changed, this, &SettingsDialog::reflect);
    for (const OptionInfo& info : kOptions) {
        reflect(info.option);
    }
    connect(about, &QPushButton::clicked, this, &SettingsDialog::aboutRequested);
    connect(improveSpeed, &QPushButton::clicked, this, &SettingsDialog::improveSpeedRequested);

    QTimer::singleShot(kLoadDelay, this, [this] {
        loaded_ = true;
        Q_EMIT loadRequested();
    });
}

template <typename Control> Control* SettingsDialog::bind(Option option, Control* control)
{
    controls_[static_cast<std::size_t>(option)] = control;
    if constexpr (std::is_same_v<Control, SpinEdit>) {
        connect(control, &SpinEdit::textChanged, this, [this, option] {
            model_.set(option, peak_->value());
            if (peak_->value() == 0) {
                Q_EMIT peakResetRequested();
            }
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
    QWidget* control = controls_[static_cast<std::size_t>(option)];
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
        if (option == Option::PeakSpeed && peak_->value() != value) {
            peak_->setValue(value);
        }
        break;
    }
}

void SettingsDialog::setComboFont(const QFont& font)
{
    for (const OptionInfo& info : kOptions) {
        if (info.kind == OptionKind::Colour) {
            control<ColourCombo>(info.option)->setFont(font);
        }
    }
}

void SettingsDialog::closeEvent(QCloseEvent* event)
{
    Q_EMIT onTopRequested(model_.flag(Option::OnTop));
    Q_EMIT arrangeRequested();
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
