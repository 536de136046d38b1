#pragma once

#include <QDialog>

namespace zarvello {

// The about box: the icon, the program's name, version, copyright and a line
// about it, closed by "OK".
class AboutDialog : public QDialog
{
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);
};

} // namespace zarvello
