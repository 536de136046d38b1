#pragma once

#include <QObject>

class QWidget;

namespace zarvello {

// Keeps its window above ordinary windows, or lets it go, with one switch.
class StayOnTop : public QObject
{
    Q_OBJECT
public:
    // Applies OnTop = true at once when the owner is a window.
    explicit StayOnTop(QObject* owner);
    ~StayOnTop() override;

    [[nodiscard]] bool isOnTop() const { return onTop_; }
    // Every assignment applies again, even of the same value.
    void setOnTop(bool value);

private:
    QWidget* window_ = nullptr;
    bool onTop_ = false;
};

} // namespace zarvello
