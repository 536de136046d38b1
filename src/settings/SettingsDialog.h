#pragma once

#include "settings/Settings.h"

#include <QAbstractSpinBox>
#include <QRadioButton>
#include <QWidget>

#include <array>
#include <cstddef>

namespace zarvello {

// A radio button of a pair that the settings keep exclusive, so that both may
// be off (as before the first load) and either may be set from code.
class PairedRadio : public QRadioButton
{
    Q_OBJECT
public:
    PairedRadio(const QString& text, QWidget* parent);

protected:
    void nextCheckState() override; // a click on a chosen button keeps it chosen
};

// A spin edit without bounds: typing takes digits, signs and the decimal
// separator; its value is the text as a whole number, 0 when it is none.
class SpinEdit : public QAbstractSpinBox
{
    Q_OBJECT
public:
    explicit SpinEdit(QWidget* parent = nullptr);

    [[nodiscard]] int value() const;
    void setValue(int value);
    // Sets the text as typing would; text() reads it.
    void setTypedText(const QString& text);

    QValidator::State validate(QString& input, int& pos) const override;
    void stepBy(int steps) override;

Q_SIGNALS:
    void textChanged(); // typed or set

protected:
    [[nodiscard]] StepEnabled stepEnabled() const override;
};

// The settings dialog: it always shows the model, and a change of a control
// is a change of the model. What only a user's action does (picking a colour,
// editing the peak, the buttons, closing) it announces by its signals.
class SettingsDialog : public QWidget
{
    Q_OBJECT
public:
    explicit SettingsDialog(Settings& model, QWidget* parent = nullptr);

    // The font of the six colour combos, which follows the meter's font set.
    void setComboFont(const QFont& font);

    // Whether the stored options have been loaded; until then the model holds
    // only the form's defaults.
    [[nodiscard]] bool isLoaded() const { return loaded_; }

    // The control that shows and edits an option; none for Left and Top.
    template <typename Control> [[nodiscard]] Control* control(Option option) const
    {
        return qobject_cast<Control*>(controls_[static_cast<std::size_t>(option)]);
    }

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

    Settings& model_;
    std::array<QWidget*, kOptionCount> controls_{};
    SpinEdit* peak_ = nullptr;
    bool loaded_ = false;
    bool placed_ = false;
};

} // namespace zarvello
