#include "version/Mem_Form.h"

namespace zarvello {

TForm_Mem::TForm_Mem(QWidget* parent) : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint)
{
    setWindowTitle(QStringLiteral("Memory"));
}

} // namespace zarvello
