#include "settings/TcpTuning.h"

#include "platform/RestartRequest.h"
#include "support/MemoryRegistry.h"

#include <gtest/gtest.h>

namespace zarvello {
namespace {

class RecordingRestart : public RestartRequest
{
public:
    void promptReboot(QWidget*) override { ++requests; }
    int requests = 0;
};

const QString kMstcp = QStringLiteral("System\\CurrentControlSet\\Services\\VxD\\MSTCP");
const QString kNetTrans = QStringLiteral("System\\CurrentControlSet\\Services\\Class\\NetTrans\\");

void setString(Registry& r, const QString& path, const QString& name, const QString& text)
{
    RegistryKey key = r.create(RegRoot::LocalMachine, path);
    ASSERT_TRUE(key.setString(name, text));
    ASSERT_TRUE(key.close());
}

void setDword(Registry& r, const QString& path, const QString& name, std::uint32_t value)
{
    RegistryKey key = r.create(RegRoot::LocalMachine, path);
    ASSERT_TRUE(key.setDword(name, value));
    ASSERT_TRUE(key.close());
}

void createKey(Registry& r, const QString& path)
{
    RegistryKey key = r.create(RegRoot::LocalMachine, path);
    ASSERT_TRUE(key.close());
}

// A Windows 9x chain: two dial-up adapters (the later one wins), bindings of
// two protocols, and the transport's driver.
void seedChain(Registry& r, const QString& driver = QStringLiteral("NetTrans\\0003"))
{
    createKey(r, kMstcp);
    setString(r, "Enum\\Root\\Net\\0000", "DeviceDesc", "Dial-Up Adapter");
    setString(r, "Enum\\Root\\Net\\0001", "DeviceDesc", "dial-up adapter");
    setString(r, "Enum\\Root\\Net\\0002", "DeviceDesc", "Dial-Up Adapter");
    setString(r, "Enum\\Root\\Net\\0003", "DeviceDesc", "Dial-Up Adapter ");
    setString(r, "Enum\\Root\\Net\\0000\\Bindings", "MSTCP\\0009", "");
    setString(r, "Enum\\Root\\Net\\0002\\Bindings", "NETBEUI\\0001", "");
    setString(r, "Enum\\Root\\Net\\0002\\Bindings", "MSTCP\\0000", "");
    setString(r, "Enum\\Network\\MSTCP\\0000", "Driver", driver);
    setString(r, "Enum\\Network\\MSTCP\\0009", "Driver", "NetTrans\\0009");
    createKey(r, kNetTrans + "0003");
}

QString stringAt(Registry& r, const QString& path, const QString& name)
{
    const auto data = r.open(RegRoot::LocalMachine, path).value(name);
    return data ? data->toText() : QStringLiteral("<none>");
}

struct Tuning
{
    std::vector<QString> errors, messages;
    QString asked;
    RecordingRestart restart;

    void operator()(Registry& r, bool ok)
    {
        improveSpeed(r,
                     {.confirm = [this, ok](const QString& text) { return asked = text, ok; },
                      .error = [this](const QString& text) { errors.push_back(text); },
                      .message = [this](const QString& text) { messages.push_back(text); }},
                     restart, nullptr);
    }
};

TEST(TcpTuning, WritesTheChainOfTheLastDialUpAdapterThenAsksForARestart)
{
    MemoryRegistry r;
    seedChain(r);
    Tuning run;
    run(r, true);
    EXPECT_TRUE(run.asked.startsWith("This function will optimize your registry settings for "
                                     "Internet peformance."));
    EXPECT_TRUE(run.errors.empty());
    EXPECT_TRUE(run.messages.empty());
    EXPECT_EQ(stringAt(r, kMstcp, "DefaultRcvWindow"), "4288");
    EXPECT_EQ(stringAt(r, kMstcp, "DefaultTTL"), "128");
    EXPECT_EQ(stringAt(r, kNetTrans + "0003", "MaxMTU"), "576");
    EXPECT_EQ(stringAt(r, kNetTrans + "0003", "MaxMSS"), "536");
    EXPECT_EQ(stringAt(r, kNetTrans + "0009", "MaxMTU"), "<none>") << "the first adapter lost";
    EXPECT_EQ(run.restart.requests, 1);
}

TEST(TcpTuning, EveryOtherOutcomeEndsWithoutARestart)
{
    const struct
    {
        const char* name;
        std::function<void(MemoryRegistry&)> seed;
        bool confirmed;
        std::vector<QString> errors;
        const char* message; // a part of the one message shown, if any
        const char* ttl;     // DefaultTTL afterwards, when it is known
    } rows[] = {
        // clang-format off
        {"cancel writes nothing", [](MemoryRegistry& r) { seedChain(r); }, false, {}, nullptr, "<none>"},
        {"without the Windows 9x keys the first write fails", [](MemoryRegistry&) {}, true, {"Failed to set data for 'DefaultRcvWindow'"}, nullptr, "<none>"},
        {"no adapter", [](MemoryRegistry& r) { createKey(r, kMstcp); }, true, {}, "Dial-Up Adapter", "128"},
        {"driver without a backslash", [](MemoryRegistry& r) { seedChain(r, "NetTrans0003"); }, true, {}, "driver", "128"},
        {"a save that fails", [](MemoryRegistry& r) { seedChain(r); r.failSavesWith = "disk full"; }, true,
         {"Failed to set data for 'DefaultRcvWindow'\ndisk full"}, nullptr, nullptr},
        {"an adapter description of the wrong type", [](MemoryRegistry& r) { seedChain(r); setDword(r, "Enum\\Root\\Net\\0002", "DeviceDesc", 7); }, true,
         {"Invalid data type for 'DeviceDesc'"}, nullptr, "128"},
        // clang-format on
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        MemoryRegistry r;
        row.seed(r);
        const int saves = r.saves;
        Tuning run;
        run(r, row.confirmed);
        EXPECT_EQ(run.errors, row.errors);
        EXPECT_EQ(run.messages.size(), row.message ? 1u : 0u);
        if (row.message && !run.messages.empty()) {
            EXPECT_TRUE(run.messages[0].contains(QLatin1String(row.message)))
                << run.messages[0].toStdString();
        }
        if (row.ttl) {
            EXPECT_EQ(stringAt(r, kMstcp, "DefaultTTL"), row.ttl);
        }
        if (!row.confirmed) {
            EXPECT_EQ(r.saves, saves);
        }
        EXPECT_EQ(run.restart.requests, 0);
    }
}

} // namespace
} // namespace zarvello
