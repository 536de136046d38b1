#include "settings/Setting_Form.h"

namespace zarvello {

TForm_Settings::TForm_Settings(QWidget* parent) : QWidget(parent, Qt::Tool)
{
    setWindowTitle(QStringLiteral("Settings"));
}

} // namespace zarvello
