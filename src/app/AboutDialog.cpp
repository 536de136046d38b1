#include "app/AboutDialog.h"

#include "core/AppInfo.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QStyle>
#include <QVBoxLayout>

namespace zarvello {

constexpr int kIconSide = 32;
constexpr int kNamePointSize = 22;
constexpr int kWidth = 300;

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("About ") + kAppName);
    auto* layout = new QVBoxLayout(this);

    auto* icon = new QLabel(this);
    icon->setPixmap(QApplication::windowIcon().isNull()
                        ? style()->standardIcon(QStyle::SP_ComputerIcon).pixmap(kIconSide)
                        : QApplication::windowIcon().pixmap(kIconSide));
    icon->setAlignment(Qt::AlignCenter);
    layout->addWidget(icon);

    auto addText = [&](const QString& text, int pointSize, const char* name) {
        auto* label = new QLabel(text, this);
        label->setObjectName(QLatin1String(name));
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(Qt::AlignCenter);
        label->setWordWrap(true);
        if (pointSize > 0) {
            QFont font = label->font();
            font.setPointSize(pointSize);
            label->setFont(font);
        }
        layout->addWidget(label);
    };
    addText(kAppName, kNamePointSize, "appname");
    addText(QStringLiteral("v") + kAppVersion, 0, "version");
    addText(QStringLiteral("Copyright (c) 2026 The Zarvello developers"), 0, "copyright");
    addText(QStringLiteral("Zarvello measures TCP/IP speeds on your machine. If you find this "
                           "usefull, drop me a line at zarvello-dev@example.org"),
            0, "description");

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
    setFixedWidth(kWidth);
}

} // namespace zarvello
