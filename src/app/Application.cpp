#include "app/Application.h"

#include "app/MeterWindow.h"
#include "app/RunLog.h"
#include "app/ScreenDocker.h"
#include "app/StayOnTop.h"
#include "core/AppInfo.h"
#include "core/XdgPaths.h"
#include "platform/RegistryFile.h"
#include "platform/RestartRequest.h"
#include "platform/SingleInstance.h"
#include "platform/TerminationSignals.h"
#include "platform/x11/Display.h"
#include "settings/Settings.h"
#include "settings/SettingsDialog.h"
#include "settings/SettingsStore.h"
#include "settings/TcpTuning.h"
#include "version/MemoryWindow.h"
#include "version/VersionCheck.h"
#include "version/VersionNotice.h"
#include "widgets/StandInFonts.h"
#include "widgets/TrayMeterIcon.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QMessageBox>
#include <QScreen>

#include <cstdio>

namespace zarvello {

namespace {

// How long a second copy waits for the running one to answer.
constexpr int kActivationTimeoutMs = 2000;

ScreenLayout currentScreens()
{
    ScreenLayout layout;
    if (const QScreen* primary = QGuiApplication::primaryScreen()) {
        layout.primaryWorkArea = primary->availableGeometry();
    }
    for (const QScreen* screen : QGuiApplication::screens()) {
        layout.screens.push_back(screen->geometry());
    }
    return layout;
}

void showError(const QString& text)
{
    QMessageBox::critical(nullptr, kAppName, text);
}

void showMessage(const QString& text, QWidget* parent = nullptr)
{
    QMessageBox box(QMessageBox::NoIcon, kAppName, text, QMessageBox::Ok, parent);
    box.exec();
}

// The start-up load: the options (each with its effects), the window's parts,
// one arrangement, the stored place, the version check, and then the message
// that a damaged options file was set aside.
void loadAll(MeterWindow& main, Settings& model, SettingsHive& hive, RegistryFile& registry,
             VersionCheck& versionCheck)
{
    loadOptions(hive, model, showError);
    main.trayIcon()->setActive(model.flag(Option::TrayIcon));
    main.docker()->setActive(model.flag(Option::Dock));
    main.stayOnTop()->setOnTop(model.flag(Option::OnTop));
    main.arrange();
    main.move(loadPosition(hive, model, main.size(), currentScreens(), showError));
    versionCheck.start();
    // The defaults were used: say so, and whether a copy of the file exists.
    if (!registry.loadError().isEmpty()) {
        QString text = registry.loadError();
        const QString kept = registry.keptCopyPath();
        text += kept.isEmpty()
                    ? QStringLiteral("\nNo copy of it was made: %1.").arg(registry.copyError())
                    : QStringLiteral("\nThe file was kept as %1.").arg(kept);
        showError(text);
    }
}

// Closed before the load (a SIGTERM at start-up) the model holds only the
// defaults, and saving them would overwrite the stored options.
void saveAll(const MeterWindow& main, const SettingsDialog& settings, Settings& model,
             SettingsHive& hive)
{
    if (settings.isLoaded()) {
        model.set(Option::Left, main.x());
        model.set(Option::Top, main.y());
        saveSettings(hive, model.values(), model.interfaces(), showError);
    }
}

void improveSpeedFrom(SettingsDialog& settings, RegistryFile& registry)
{
    LogindRestartRequest restart;
    const TuningDialogs dialogs{
        .confirm =
            [&settings](const QString& text) {
                return QMessageBox::question(&settings, QStringLiteral("Confirm"), text,
                                             QMessageBox::Ok | QMessageBox::Cancel,
                                             QMessageBox::Cancel) == QMessageBox::Ok;
            },
        .error = showError,
        .message = [&settings](const QString& text) { showMessage(text, &settings); },
    };
    improveSpeed(registry, dialogs, restart, &settings);
}

QIcon applicationIcon()
{
    // The build renders the icon at every size a desktop asks for, each file
    // named by its size; naming the sizes lets the window offer them all.
    QIcon icon;
    const QDir sizes(QStringLiteral(":/icons"));
    for (const QString& name : sizes.entryList(QDir::Files)) {
        const int side = QFileInfo(name).baseName().toInt();
        icon.addFile(sizes.filePath(name), QSize(side, side));
    }
    return icon;
}

} // namespace

int runApplication(int argc, char** argv)
{
    if (!chooseX11Platform()) {
        std::fputs("Zarvello needs an X11 display (X11 or XWayland)\n", stderr);
        return 1;
    }
    resetRunLog(runLogPath(), runLogLine(QDateTime::currentDateTime(), QLocale::system()));

    QApplication app(argc, argv);
    QApplication::setApplicationName(kAppName);
    QApplication::setDesktopFileName(QStringLiteral(ZARVELLO_APP_ID));
    QApplication::setWindowIcon(applicationIcon());
    registerStandInFonts();
    // The program ends when its main window closes, not when the last window hides.
    QApplication::setQuitOnLastWindowClosed(false);

    // One copy per executable file name: a renamed copy runs on its own.
    const QString exeName = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    SingleInstance instance(exeName, XdgPaths::runtimeDirectory());
    if (!instance.isFirst()) {
        instance.activateRunningCopy(kActivationTimeoutMs);
        return 0;
    }

    // From here on SIGTERM and SIGINT close the window normally, even before it exists.
    TerminationSignals termination;
    RegistryFile registry(RegistryFile::defaultFilePath());
    SettingsHive hive(registry);
    Settings settingsModel; // outlives the windows that use it
    auto mainWindow = std::make_unique<MeterWindow>(makeSystemCounterSource());
    MeterWindow* main = mainWindow.get();
    instance.listen();
    QObject::connect(&instance, &SingleInstance::activationRequested, main,
                     &MeterWindow::bringForward);
    auto settingsDialog = std::make_unique<SettingsDialog>(settingsModel);
    auto versionNotice = std::make_unique<VersionNotice>();
    auto memoryWindow = std::make_unique<MemoryWindow>();
    SettingsDialog* settings = settingsDialog.get();
    main->setCompanionWindows({settings, versionNotice.get(), memoryWindow.get()});
    // The notice owns the check, so nothing of it outlives the window it writes to.
    auto* versionCheck = new VersionCheck(versionNotice.get(), versionServerHost(),
                                          VersionCheck::kVersionPort, versionNotice.get());
    main->setSettingsModel(&settingsModel);

    QObject::connect(main, &MeterWindow::messageRequested, main,
                     [](const QString& text) { showMessage(text); });
    QObject::connect(main, &MeterWindow::comboFontChanged, settings, &SettingsDialog::setComboFont);
    QObject::connect(main, &MeterWindow::settingsRequested, settings, [settings] {
        settings->show();
        settings->raise();
    });
    QObject::connect(main, &MeterWindow::closing, settings,
                     [&, main, settings] { saveAll(*main, *settings, settingsModel, hive); });
    QObject::connect(settings, &SettingsDialog::arrangeRequested, main, &MeterWindow::arrange);
    QObject::connect(settings, &SettingsDialog::onTopRequested, main,
                     [main](bool on) { main->stayOnTop()->setOnTop(on); });
    QObject::connect(settings, &SettingsDialog::peakResetRequested, main, &MeterWindow::resetPeak);
    QObject::connect(settings, &SettingsDialog::aboutRequested, main, &MeterWindow::showAbout);
    QObject::connect(settings, &SettingsDialog::improveSpeedRequested, settings,
                     [settings, &registry] { improveSpeedFrom(*settings, registry); });
    QObject::connect(settings, &SettingsDialog::loadRequested, main, [&, main, versionCheck] {
        loadAll(*main, settingsModel, hive, registry, *versionCheck);
    });
    QObject::connect(main, &MeterWindow::memoryWindowRequested, memoryWindow.get(),
                     &MemoryWindow::open);
    QObject::connect(&termination, &TerminationSignals::terminationRequested, main,
                     &QWidget::close);
    QObject::connect(main, &MeterWindow::closed, &app, &QCoreApplication::quit);

    mainWindow->show();
    const int status = QApplication::exec();

    // No tick may run against windows that are being taken down.
    mainWindow->stopSampling();
    memoryWindow.reset();
    versionNotice.reset();
    settingsDialog.reset();
    mainWindow.reset();
    return status;
}

} // namespace zarvello
