#include "version/Version_Form.h"

namespace zarvello {

TForm_Version::TForm_Version(QWidget* parent) : QWidget(parent, Qt::Tool)
{
    setWindowTitle(QStringLiteral("New version available!!"));
}

} // namespace zarvello
