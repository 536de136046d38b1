#pragma once

#include "settings/SettingsModel.h"

#include <QAbstractSpinBox>
#include <QRadioButton>
#include <QWidget>

#include <array>

class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QTimer;

namespace zarvello {

class TColorCombo;
class TURLLabel;

// A radio button of a pair that the settings keep exclusive, so that both may
// be off (as before the first load) and either may be set from code.
class TPairedRadio : public QRadioButton
{
    Q_OBJECT
public:
    TPairedRadio(const QString& text, QWidget* parent);

protected:
    void nextCheckState() override; // a click on a chosen button keeps it chosen
};

// A spin edit without bounds: typing takes digits, signs and the decimal
// separator; its value is the text as a whole number, 0 when it is none.
class TSpinEdit : public QAbstractSpinBox
{
    Q_OBJECT
public:
    explicit TSpinEdit(QWidget* parent = nullptr);

    [[nodiscard]] int Value() const;
    void setValue(int value);
    [[nodiscard]] QString Text() const;
    void setText(const QString& text);

    QValidator::State validate(QString& input, int& pos) const override;
    void stepBy(int steps) override;

Q_SIGNALS:
    void changed();

protected:
    [[nodiscard]] StepEnabled stepEnabled() const override;
};

// The settings dialog: it always shows the model, and a change of a control
// is a change of the model. What only a user's action does (picking a colour,
// editing the peak, the buttons, closing) it announces by its signals.
class TForm_Settings : public QWidget
{
    Q_OBJECT
public:
    explicit TForm_Settings(SettingsModel& model, QWidget* parent = nullptr);

    // The font of the six colour combos, which follows the meter's font set.
    void setComboFont(const QFont& font);

    // Handlers.
    void PeakSpeedChange();
    void FormClose();
    void Timer1Timer();
    // Whether the stored options have been loaded; until then the model holds
    // only the form's defaults.
    [[nodiscard]] bool loaded() const { return loaded_; }

    // Controls, named as stored.
    QCheckBox* In1 = nullptr;
    QCheckBox* Out1 = nullptr;
    QCheckBox* MaxSpeed1 = nullptr;
    QCheckBox* Percent1 = nullptr;
    QCheckBox* Horiz1 = nullptr;
    QCheckBox* Shrink1 = nullptr;
    QCheckBox* OnTop1 = nullptr;
    QCheckBox* Dock1 = nullptr;
    QCheckBox* TaskBar1 = nullptr;
    TPairedRadio* KiloBytes1 = nullptr;
    TPairedRadio* KiloBits1 = nullptr;
    TPairedRadio* TrayIconIn = nullptr;
    TPairedRadio* TrayIconOut = nullptr;
    QCheckBox* TrayIconEnabled = nullptr;
    TColorCombo* InColor1 = nullptr;
    TColorCombo* InColor2 = nullptr;
    TColorCombo* OutColor1 = nullptr;
    TColorCombo* OutColor2 = nullptr;
    TColorCombo* TrayIconBakColor = nullptr;
    TColorCombo* TrayIconForColor = nullptr;
    TPairedRadio* TrayPercent = nullptr;
    TPairedRadio* TrayActual = nullptr;
    TPairedRadio* SmallFont = nullptr;
    TPairedRadio* LargeFont = nullptr;
    TSpinEdit* PeakSpeed = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* ImproveSpeed = nullptr;
    TURLLabel* URLLabel1 = nullptr;
    TURLLabel* URLLabel2 = nullptr;
    QTimer* Timer1 = nullptr;

Q_SIGNALS:
    void arrangeRequested();      // a "Start:" or tray colour picked, or the dialog closing
    void onTopRequested(bool on); // the dialog closing, before it arranges
    void peakResetRequested();
    void aboutRequested();
    void improveSpeedRequested();
    void loadRequested(); // once, shortly after start-up

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void reflect(Option option); // the control of `option` shows the model
    template <typename Control> Control* bind(Option option, Control* control);

    SettingsModel& model_;
    std::array<QWidget*, kOptionCount> controls_{}; // none for Left and Top
    bool loaded_ = false;
    bool placed_ = false;
};

} // namespace zarvello
