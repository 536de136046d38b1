#include "settings/TcpTuning.h"

#include "platform/RegistryFile.h"
#include "platform/RestartRequest.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace zarvello {
namespace {

struct RecordingRestart : RestartRequest
{
    void promptReboot(QWidget*) override { ++requests; }
    int requests = 0;
};

TEST(TcpTuning, TunesTheDialUpAdaptersTransportThenAsksForARestartOrChangesNothing)
{
    const QString mstcp =
        QStringLiteral("HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\VxD\\MSTCP");
    const QString transport = QStringLiteral(
        "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\Class\\NetTrans\\0003");
    for (const bool confirmed : {true, false}) {
        const QTemporaryDir dir;
        RegistryFile r(dir.filePath("registry.reg"));
        const auto put = [&](const QString& path, const QString& name, const QString& text) {
            r.setValue(path, name, RegData::string(text));
        };
        put(mstcp, "DefaultTTL", "64");
        put("HKEY_LOCAL_MACHINE\\Enum\\Root\\Net\\0000", "DeviceDesc", "Dial-Up Adapter");
        put("HKEY_LOCAL_MACHINE\\Enum\\Root\\Net\\0000\\Bindings", "MSTCP\\0000", {});
        put("HKEY_LOCAL_MACHINE\\Enum\\Network\\MSTCP\\0000", "Driver", "NetTrans\\0003");
        put(transport, "MaxMTU", "1500");
        QString error;
        ASSERT_TRUE(r.save(&error)) << error.toStdString();
        RecordingRestart restart;
        improveSpeed(r,
                     {.confirm = [&](const QString&) { return confirmed; },
                      .error = [](const QString& text) { ADD_FAILURE() << text.toStdString(); },
                      .message = [](const QString& text) { ADD_FAILURE() << text.toStdString(); }},
                     restart, nullptr);
        EXPECT_EQ(r.value(mstcp, "DefaultTTL")->toText(), confirmed ? "128" : "64");
        EXPECT_EQ(r.value(transport, "MaxMTU")->toText(), confirmed ? "576" : "1500");
        EXPECT_EQ(restart.requests, confirmed ? 1 : 0);
    }
}

} // namespace
} // namespace zarvello
