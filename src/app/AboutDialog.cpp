#include "app/AboutDialog.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace zarvello {

AboutDialog::AboutDialog(QObject* owner) : QObject(owner) {}

QDialog* AboutDialog::build(QWidget* parent) const
{
    auto* dialog = new QDialog(parent);
    dialog->setWindowTitle(QStringLiteral("About ") + Appname);
    auto* layout = new QVBoxLayout(dialog);

    auto* icon = new QLabel(dialog);
    icon->setPixmap(QApplication::windowIcon().isNull()
                        ? dialog->style()->standardIcon(QStyle::SP_ComputerIcon).pixmap(32, 32)
                        : QApplication::windowIcon().pixmap(32, 32));
    icon->setAlignment(Qt::AlignCenter);
    layout->addWidget(icon);

    auto addText = [&](const QString& text, int pointSize, const char* name) {
        auto* label = new QLabel(text, dialog);
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
    addText(Appname, 22, "appname");
    addText(Version, 0, "version");
    addText(Copyright, 0, "copyright");
    addText(Description, 0, "description");

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    layout->addWidget(buttons);
    dialog->setFixedWidth(300);
    return dialog;
}

void AboutDialog::Execute()
{
    QDialog* dialog = build();
    dialog->exec();
    delete dialog;
}

} // namespace zarvello
