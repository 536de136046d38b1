#include "version/CentredToolWindow.h"

#include "widgets/Colour.h"
#include "widgets/StandInFonts.h"

#include <QGuiApplication>
#include <QScreen>

namespace zarvello {

CentredToolWindow::CentredToolWindow(QWidget* parent, Qt::WindowFlags flags, QSize clientSize)
    : QWidget(parent, flags)
{
    setFont(pixelFont("MS Sans Serif", k8ptPixels));
    QPalette face = palette();
    face.setColor(QPalette::Window, toQColor(clBtnFace));
    setPalette(face);
    setAutoFillBackground(true);
    setFixedSize(clientSize);
}

void CentredToolWindow::showEvent(QShowEvent* event)
{
    const QScreen* on = screen() != nullptr ? screen() : QGuiApplication::primaryScreen();
    if (!placed_ && on != nullptr) {
        move(on->geometry().center() - QPoint(width() / 2, height() / 2));
    }
    placed_ = true;
    QWidget::showEvent(event);
}

} // namespace zarvello
