#pragma once

#include <QWidget>

class QLabel;

namespace zarvello {

class LinkOpener;
class LinkLabel;

// The project's web site, the caption the notice's link keeps whatever the
// version server names as download address.
inline constexpr QLatin1StringView kMakerWebAddress{"zarvello.example.org"};

// "New version available!!": the notice shown when the version server names
// another version. Created hidden; closing it or clicking the link hides it.
class VersionNotice : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kClientWidth = 316;
    static constexpr int kClientHeight = 80;

    // opener: passed to the link label (the desktop's opener when null).
    explicit VersionNotice(QWidget* parent = nullptr, LinkOpener* opener = nullptr);

    // Hides the notice; the link label opens its address afterwards.
    void URLLabel1Click();

    [[nodiscard]] QLabel* Label1() const { return label1_; }
    [[nodiscard]] QLabel* Label2() const { return label2_; }
    [[nodiscard]] QLabel* Label3() const { return label3_; }
    [[nodiscard]] QLabel* Ver() const { return ver_; }
    [[nodiscard]] LinkLabel* URLLabel1() const { return urlLabel1_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLabel* label1_;
    QLabel* label2_;
    QLabel* ver_;
    QLabel* label3_;
    LinkLabel* urlLabel1_;
    bool placed_ = false;
};

} // namespace zarvello
