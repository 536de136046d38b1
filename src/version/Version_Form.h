#pragma once

#include <QWidget>

namespace zarvello {

// The notice shown when the version server names a newer version.
class TForm_Version : public QWidget
{
    Q_OBJECT
public:
    explicit TForm_Version(QWidget* parent = nullptr);
};

} // namespace zarvello
