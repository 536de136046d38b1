#pragma once

#include "settings/Settings.h"

#include <QAbstractSpinBox>
#include <QRadioButton>
#include <QWidget>

#include <functional>

class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QTimer;

namespace zarvello {

class TColorCombo;
class TURLLabel;

// A radio button of a pair that the program keeps exclusive itself, so that
// both may be off (as before the first load) and either may be set from code.
class TPairedRadio : public QRadioButton
{
    Q_OBJECT
public:
    TPairedRadio(const QString& text, QWidget* parent);
    void setPartner(TPairedRadio* partner);

protected:
    void nextCheckState() override; // a click on a chosen button keeps it chosen

private:
    TPairedRadio* partner_ = nullptr;
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

// What the dialog needs from the rest of the program.
struct SettingsActions
{
    std::function<void()> arrange;              // the main window's ArrangeForm
    std::function<void(bool)> setTrayActive;    // TrayProgress.Active
    std::function<void()> resetPeak;            // the peak rate back to 0
    std::function<void(bool)> setOnTop;         // Top1.OnTop
    std::function<void()> about;                // the about box
    std::function<void()> improveSpeed;         // the dial-up tuning
    std::function<void()> load;                 // the settings load, once after start-up
    std::function<QPoint()> mainWindowPosition; // for Left and Top
};

// The settings dialog. Its controls are the live settings: everything else
// reads them through current() when it needs them.
class TForm_Settings : public QWidget
{
    Q_OBJECT
public:
    explicit TForm_Settings(QWidget* parent = nullptr);

    void setActions(SettingsActions actions);
    // The plain value record of what the controls show now.
    [[nodiscard]] TSettings current() const;
    // The font of the six colour combos, which follows the meter's font set.
    void setComboFont(const QFont& font);

    // Handlers.
    void In1Click();
    void InColor1Change();
    void TrayIconEnabledClick();
    void PeakSpeedChange();
    void Button1Click();
    void ImproveSpeedClick();
    void FormClose();
    void Timer1Timer();
    // Whether the stored options have been loaded into the controls; until
    // then they hold only the form's defaults.
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

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    bool loaded_ = false;
    SettingsActions actions_;
    bool placed_ = false;
};

} // namespace zarvello
