#include "app/Application.h"

#include "app/Main_Form.h"
#include "app/RunLog.h"
#include "platform/CounterSource.h"
#include "platform/SingleInstance.h"
#include "platform/TerminationSignals.h"
#include "settings/Setting_Form.h"
#include "version/Mem_Form.h"
#include "version/Version_Form.h"

#include <QApplication>
#include <QFileInfo>
#include <QScreen>
#include <QTimer>

namespace zarvello {

int runApplication(int argc, char** argv)
{
    resetRunLog(runLogPath(), runLogLine(QDateTime::currentDateTime(), QLocale::system()));

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zarvello"));
    // The program ends when its main window closes, not when the last window hides.
    QApplication::setQuitOnLastWindowClosed(false);

    // One copy per executable file name: a renamed copy runs on its own.
    const QString exeName = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    SingleInstance instance(exeName, SingleInstance::runtimeDirectory());
    if (!instance.isFirst()) {
        instance.activateRunningCopy(2000);
        return 0;
    }

    auto formMain = std::make_unique<TForm_Main>(makeSystemCounterSource());
    instance.listen();
    QObject::connect(&instance, &SingleInstance::activationRequested, formMain.get(),
                     &TForm_Main::bringForward);
    formMain->FormCreate();
    auto formSettings = std::make_unique<TForm_Settings>();
    auto formVersion = std::make_unique<TForm_Version>();
    auto formMem = std::make_unique<TForm_Mem>();
    formMain->setCompanionWindows({formSettings.get(), formVersion.get(), formMem.get()});
    formMain->setSettingsWindow([settings = formSettings.get()] {
        settings->show();
        settings->raise();
    });

    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::terminationRequested, formMain.get(),
                     &QWidget::close);
    QObject::connect(formMain.get(), &TForm_Main::closed, &app, &QCoreApplication::quit);

    // Until the stored settings are loaded, start arranged from the first-run
    // record, in the top right corner of the primary screen's work area.
    QTimer::singleShot(100, formMain.get(), [form = formMain.get()] {
        form->ArrangeForm();
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            const QRect area = screen->availableGeometry();
            form->move(area.left() + area.width() - form->width(), area.top());
        }
    });

    formMain->show();
    const int status = QApplication::exec();

    // No tick may run against windows that are being taken down.
    formMain->stopSampling();
    formMem.reset();
    formVersion.reset();
    formSettings.reset();
    formMain.reset();
    return status;
}

} // namespace zarvello
