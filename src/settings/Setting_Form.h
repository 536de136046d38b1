#pragma once

#include <QWidget>

namespace zarvello {

// The settings dialog; its controls hold the live settings.
class TForm_Settings : public QWidget
{
    Q_OBJECT
public:
    explicit TForm_Settings(QWidget* parent = nullptr);
};

} // namespace zarvello
