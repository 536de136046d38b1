#pragma once

#include "widgets/Colour.h"

#include <QAbstractItemDelegate>
#include <QComboBox>

#include <array>
#include <optional>
#include <string_view>

class QPainter;

namespace zarvello {

// The names every colour combo holds, in this order. Settings store a colour as
// the position of its name here (-1 for none), so the order must never change;
// "clSilver" and "clGray" appear twice on purpose.
inline constexpr std::array<std::string_view, 19> kColourComboItems{
    "clBlack", "clMaroon", "clGreen", "clOlive", "clNavy",   "clPurple", "clTeal",
    "clGray",  "clSilver", "clRed",   "clLime",  "clYellow", "clBlue",   "clFuchsia",
    "clAqua",  "clSilver", "clGray",  "clWhite", "clNone"};

inline constexpr int kColourComboItemHeight = 12;

enum class ComboStyle { DropDown, Simple, DropDownList, OwnerDrawFixed, OwnerDrawVariable };

// The colour an item text names, if it is a colour identifier.
[[nodiscard]] std::optional<Colour> colourOfItem(const QString& text);

// Draws one entry into rect: background, a black-framed swatch 14 pixels wide
// (3 pixels in from the left, top and bottom) in the colour the text names, or
// in the background colour when it names none, and the text from 22 pixels in.
void drawColourItem(QPainter& painter, const QRect& rect, const QString& text,
                    const QPalette& palette, bool selected, bool enabled);

// Draws the drop-down list's entries with drawColourItem, all of one fixed height.
class ColourComboDelegate : public QAbstractItemDelegate
{
    Q_OBJECT
public:
    explicit ColourComboDelegate(QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    [[nodiscard]] QSize sizeHint(const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const override;

    [[nodiscard]] int itemHeight() const { return itemHeight_; }
    void setItemHeight(int height) { itemHeight_ = height; }

private:
    int itemHeight_ = kColourComboItemHeight;
};

// A drop-down list of colour names, each entry showing a swatch of its colour.
// The look is always the owner-drawn, fixed-height one, whatever is asked for.
class ColourCombo : public QComboBox
{
    Q_OBJECT
public:
    explicit ColourCombo(QWidget* parent = nullptr);

    [[nodiscard]] ComboStyle comboStyle() const { return ComboStyle::OwnerDrawFixed; }
    // Any style request leaves the combo owner-drawn, fixed and not editable.
    void setComboStyle(ComboStyle style);
    // A typed-in colour would bypass the fixed list, so the combo never becomes editable.
    void setEditable(bool editable);

    [[nodiscard]] int itemHeight() const { return delegate_->itemHeight(); }
    void setItemHeight(int height); // clamped to at least 1

    // Replaces the items with kColourComboItems and leaves nothing selected.
    void fillColourList();

    // The colour the selected item names; black (0) when nothing is selected or
    // the item is not a colour name.
    [[nodiscard]] Colour selectedColour() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void installDelegate();

    ColourComboDelegate* delegate_ = nullptr;
};

} // namespace zarvello
