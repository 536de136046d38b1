#include "settings/TcpTuning.h"

#include "platform/RestartRequest.h"
#include "support/MemoryRegistry.h"

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
    const QString mstcp = QStringLiteral("System\\CurrentControlSet\\Services\\VxD\\MSTCP");
    const QString transport =
        QStringLiteral("System\\CurrentControlSet\\Services\\Class\\NetTrans\\0003");
    for (const bool confirmed : {true, false}) {
        MemoryRegistry r;
        const auto put = [&](const QString& path, const QString& name, const QString& text) {
            RegistryKey key = r.create(RegRoot::LocalMachine, path);
            ASSERT_TRUE(key.setString(name, text) && key.close());
        };
        put(mstcp, "DefaultTTL", "64");
        put("Enum\\Root\\Net\\0000", "DeviceDesc", "Dial-Up Adapter");
        put("Enum\\Root\\Net\\0000\\Bindings", "MSTCP\\0000", {});
        put("Enum\\Network\\MSTCP\\0000", "Driver", "NetTrans\\0003");
        put(transport, "MaxMTU", "1500");
        RecordingRestart restart;
        improveSpeed(r,
                     {.confirm = [&](const QString&) { return confirmed; },
                      .error = [](const QString& text) { ADD_FAILURE() << text.toStdString(); },
                      .message = [](const QString& text) { ADD_FAILURE() << text.toStdString(); }},
                     restart, nullptr);
        EXPECT_EQ(r.open(RegRoot::LocalMachine, mstcp).value("DefaultTTL")->toText(),
                  confirmed ? "128" : "64");
        EXPECT_EQ(r.open(RegRoot::LocalMachine, transport).value("MaxMTU")->toText(),
                  confirmed ? "576" : "1500");
        EXPECT_EQ(restart.requests, confirmed ? 1 : 0);
    }
}

} // namespace
} // namespace zarvello
