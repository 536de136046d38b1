#include "widgets/ColourCombo.h"

#include <QAbstractItemView>
#include <QEvent>
#include <QPainter>
#include <QSignalBlocker>
#include <QStyleOptionComboBox>
#include <QStylePainter>

#include <algorithm>

namespace zarvello {
namespace {

// The swatch sits 3 pixels in from the entry's left, top and bottom, 14 pixels wide; the
// name starts 22 pixels in.
constexpr int kSwatchInset = 3;
constexpr int kSwatchWidth = 14;
constexpr int kTextIndent = 22;

} // namespace

std::optional<Colour> colourOfItem(const QString& text)
{
    // Identifiers are plain ASCII, so a lossy conversion never turns a non-name into one.
    const QByteArray latin = text.toLatin1();
    return identToColour(
        std::string_view(latin.constData(), static_cast<std::size_t>(latin.size())));
}

void drawColourItem(QPainter& painter, const QRect& rect, const QString& text,
                    const QPalette& palette, bool selected, bool enabled)
{
    const QPalette::ColorGroup group = enabled ? QPalette::Active : QPalette::Disabled;
    const QColor background = palette.color(group, selected ? QPalette::Highlight : QPalette::Base);
    const QColor foreground =
        palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text);

    painter.save();
    painter.setClipRect(rect, Qt::IntersectClip);
    painter.fillRect(rect, background);

    const QRect swatch(rect.left() + kSwatchInset, rect.top() + kSwatchInset, kSwatchWidth,
                       rect.height() - 2 * kSwatchInset);
    if (swatch.isValid()) {
        const auto named = colourOfItem(text);
        painter.fillRect(swatch, named ? toQColor(*named, palette) : background);
        const QColor frame(Qt::black);
        painter.fillRect(QRect(swatch.left(), swatch.top(), swatch.width(), 1), frame);
        painter.fillRect(QRect(swatch.left(), swatch.bottom(), swatch.width(), 1), frame);
        painter.fillRect(QRect(swatch.left(), swatch.top(), 1, swatch.height()), frame);
        painter.fillRect(QRect(swatch.right(), swatch.top(), 1, swatch.height()), frame);
    }

    painter.setPen(foreground);
    const QRect textRect(rect.left() + kTextIndent, rect.top(),
                         std::max(0, rect.width() - kTextIndent), rect.height());
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
    painter.restore();
}

ColourComboDelegate::ColourComboDelegate(QObject* parent) : QAbstractItemDelegate(parent) {}

void ColourComboDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                const QModelIndex& index) const
{
    painter->save();
    painter->setFont(option.font);
    drawColourItem(*painter, option.rect, index.data(Qt::DisplayRole).toString(), option.palette,
                   option.state.testFlag(QStyle::State_Selected),
                   option.state.testFlag(QStyle::State_Enabled));
    painter->restore();
}

QSize ColourComboDelegate::sizeHint(const QStyleOptionViewItem& option,
                                    const QModelIndex& index) const
{
    const int textWidth =
        option.fontMetrics.horizontalAdvance(index.data(Qt::DisplayRole).toString());
    return {kTextIndent + textWidth + 2, itemHeight_};
}

ColourCombo::ColourCombo(QWidget* parent) : QComboBox(parent)
{
    installDelegate();
}

void ColourCombo::installDelegate()
{
    if (delegate_ == nullptr) {
        delegate_ = new ColourComboDelegate(this);
    }
    if (itemDelegate() != delegate_) {
        setItemDelegate(delegate_);
    }
}

void ColourCombo::setComboStyle(ComboStyle /*style*/)
{
    setEditable(false);
    installDelegate();
}

void ColourCombo::setEditable(bool /*editable*/)
{
    QComboBox::setEditable(false);
}

void ColourCombo::setItemHeight(int height)
{
    height = std::max(1, height);
    if (height == delegate_->itemHeight()) {
        return;
    }
    delegate_->setItemHeight(height);
    view()->doItemsLayout();
    update();
}

void ColourCombo::fillColourList()
{
    // Filling is not a pick: listeners hear nothing until the selection is set.
    const QSignalBlocker quiet(this);
    clear();
    for (const std::string_view name : kColourComboItems) {
        addItem(QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())));
    }
    setCurrentIndex(-1);
}

Colour ColourCombo::selectedColour() const
{
    // With nothing selected the text is empty, which names no colour.
    return colourOfItem(currentText()).value_or(Colour{0});
}

void ColourCombo::paintEvent(QPaintEvent* /*event*/)
{
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    // The frame and arrow come from the style; the field shows the entry as the list does.
    option.currentText.clear();
    option.currentIcon = QIcon();
    painter.drawComplexControl(QStyle::CC_ComboBox, option);

    const QRect field =
        style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    const bool selected = hasFocus() && !view()->isVisible();
    if (currentIndex() >= 0) {
        drawColourItem(painter, field, currentText(), palette(), selected, isEnabled());
    } else {
        const QPalette::ColorGroup group = isEnabled() ? QPalette::Active : QPalette::Disabled;
        painter.fillRect(field,
                         palette().color(group, selected ? QPalette::Highlight : QPalette::Base));
    }
}

void ColourCombo::changeEvent(QEvent* event)
{
    QComboBox::changeEvent(event);
    // A new widget style may bring its own item delegate; the swatches stay.
    if (event->type() == QEvent::StyleChange) {
        installDelegate();
    }
}

} // namespace zarvello
