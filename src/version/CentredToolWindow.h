#pragma once

#include <QWidget>

namespace zarvello {

// The notice's and the memory window's common ground: a fixed-size tool window
// with a button-face background and "MS Sans Serif" 11 pixels high, centred on
// the screen it is on (the primary one if unknown) when it is first shown.
class CentredToolWindow : public QWidget
{
    Q_OBJECT
public:
    CentredToolWindow(QWidget* parent, Qt::WindowFlags flags, QSize clientSize);

protected:
    void showEvent(QShowEvent* event) override;

private:
    bool placed_ = false;
};

} // namespace zarvello
