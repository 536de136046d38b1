// The baseline of the process benchmark: the simplest Qt program that shows
// one changing number, a frameless label whose text changes once a second.

#include <QApplication>
#include <QLabel>
#include <QTimer>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QLabel label;
    label.setWindowFlags(Qt::FramelessWindowHint | Qt::Tool | Qt::WindowStaysOnTopHint);
    label.setWindowTitle(QStringLiteral("Bare Qt label"));
    label.resize(160, 24);
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, &label,
                     [&] { label.setText(QStringLiteral("%1 B/s").arg(++ticks * 1031 % 99991)); });
    timer.start(1000);
    label.show();
    return QApplication::exec();
}
