#pragma once

#include <QWidget>

namespace zarvello {

// Shows the bytes the program has allocated, opened by the hot key.
class TForm_Mem : public QWidget
{
    Q_OBJECT
public:
    explicit TForm_Mem(QWidget* parent = nullptr);
};

} // namespace zarvello
