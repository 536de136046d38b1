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

TEST(TcpTuning, TunesTheLastDialUpAdaptersTransportThenAsksForARestart)
{
    const QString mstcp = QStringLiteral("System\\CurrentControlSet\\Services\\VxD\\MSTCP");
    const QString transport =
        QStringLiteral("System\\CurrentControlSet\\Services\\Class\\NetTrans\\0003");
    const struct
    {
        bool confirmed;
        const char* failSave;
        std::vector<QString> errors;
        const char *ttl, *mtu;
        int restarts;
    } rows[] = {
        // clang-format off
        {true, "", {}, "128", "576", 1},
        {false, "", {}, "64", "1500", 0},
        {true, "disk full", {"Failed to set data for 'DefaultRcvWindow'\ndisk full"}, "128", "1500", 0},
        // clang-format on
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.failSave);
        MemoryRegistry r;
        const auto put = [&](const QString& path, const QString& name, const QString& text) {
            RegistryKey key = r.create(RegRoot::LocalMachine, path);
            ASSERT_TRUE(key.setString(name, text) && key.close());
        };
        // The first adapter's chain leads nowhere: the later one must win.
        put(mstcp, "DefaultTTL", "64");
        put("Enum\\Root\\Net\\0000", "DeviceDesc", "Dial-Up Adapter");
        put("Enum\\Root\\Net\\0002", "DeviceDesc", "Dial-Up Adapter");
        put("Enum\\Root\\Net\\0003", "DeviceDesc", "Dial-Up Adapter "); // a near miss
        put("Enum\\Root\\Net\\0000\\Bindings", "MSTCP\\0009", {});
        put("Enum\\Root\\Net\\0002\\Bindings", "NETBEUI\\0001", {});
        put("Enum\\Root\\Net\\0002\\Bindings", "MSTCP\\0000", {});
        put("Enum\\Network\\MSTCP\\0000", "Driver", "NetTrans\\0003");
        put(transport, "MaxMTU", "1500");
        r.failSavesWith = QString::fromLatin1(row.failSave);
        std::vector<QString> errors;
        RecordingRestart restart;
        improveSpeed(r,
                     {.confirm = [&](const QString&) { return row.confirmed; },
                      .error = [&](const QString& text) { errors.push_back(text); },
                      .message = {}},
                     restart, nullptr);
        EXPECT_EQ(errors, row.errors);
        EXPECT_EQ(r.open(RegRoot::LocalMachine, mstcp).value("DefaultTTL")->toText(), row.ttl);
        EXPECT_EQ(r.open(RegRoot::LocalMachine, transport).value("MaxMTU")->toText(), row.mtu);
        EXPECT_EQ(restart.requests, row.restarts);
    }
}

} // namespace
} // namespace zarvello
