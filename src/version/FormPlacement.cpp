#include "version/FormPlacement.h"

#include "widgets/Colour.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace zarvello {

void applyDialogLook(QWidget& form)
{
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(11);
    form.setFont(font);
    QPalette face = form.palette();
    face.setColor(QPalette::Window, toQColor(clBtnFace));
    form.setPalette(face);
    form.setAutoFillBackground(true);
}

void centreOnScreen(QWidget& form)
{
    const QScreen* screen = form.screen();
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    if (screen == nullptr) {
        return;
    }
    const QRect area = screen->geometry();
    form.move(area.center() - QPoint(form.width() / 2, form.height() / 2));
}

} // namespace zarvello
