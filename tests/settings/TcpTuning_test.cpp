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

// A Windows 9x chain: two dial-up adapters (the later one wins), bindings of
// two protocols, and the transport's driver.
void seedChain(Registry& r, const QString& driver = QStringLiteral("NetTrans\\0003"))
{
    RegistryKey mstcp = r.create(RegRoot::LocalMachine, kMstcp);
    ASSERT_TRUE(mstcp.close());
    setString(r, "Enum\\Root\\Net\\0000", "DeviceDesc", "Dial-Up Adapter");
    setString(r, "Enum\\Root\\Net\\0001", "DeviceDesc", "dial-up adapter");
    setString(r, "Enum\\Root\\Net\\0002", "DeviceDesc", "Dial-Up Adapter");
    setString(r, "Enum\\Root\\Net\\0003", "DeviceDesc", "Dial-Up Adapter ");
    setString(r, "Enum\\Root\\Net\\0000\\Bindings", "MSTCP\\0009", "");
    setString(r, "Enum\\Root\\Net\\0002\\Bindings", "NETBEUI\\0001", "");
    setString(r, "Enum\\Root\\Net\\0002\\Bindings", "MSTCP\\0000", "");
    setString(r, "Enum\\Network\\MSTCP\\0000", "Driver", driver);
    setString(r, "Enum\\Network\\MSTCP\\0009", "Driver", "NetTrans\\0009");
    RegistryKey trans = r.create(RegRoot::LocalMachine, kNetTrans + "0003");
    ASSERT_TRUE(trans.close());
}

QString stringAt(Registry& r, const QString& path, const QString& name)
{
    const RegistryKey key = r.open(RegRoot::LocalMachine, path);
    const auto data = key.value(name);
    return data ? data->toText() : QStringLiteral("<none>");
}

struct Tuning
{
    std::vector<QString> errors;
    std::vector<QString> messages;
    QString asked;
    RecordingRestart restart;

    void operator()(Registry& r, bool ok)
    {
        TuningDialogs dialogs{
            .confirm =
                [this, ok](const QString& text) {
                    asked = text;
                    return ok;
                },
            .error = [this](const QString& text) { errors.push_back(text); },
            .message = [this](const QString& text) { messages.push_back(text); },
        };
        improveSpeed(r, dialogs, restart, nullptr);
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

TEST(TcpTuning, CancelWritesNothing)
{
    MemoryRegistry r;
    seedChain(r);
    const int saves = r.saves;
    Tuning run;
    run(r, false);
    EXPECT_EQ(r.saves, saves);
    EXPECT_EQ(stringAt(r, kMstcp, "DefaultTTL"), "<none>");
    EXPECT_EQ(run.restart.requests, 0);
}

TEST(TcpTuning, WithoutTheWindows9xKeysTheFirstWriteFails)
{
    MemoryRegistry r;
    Tuning run;
    run(r, true);
    EXPECT_EQ(run.errors, std::vector<QString>{"Failed to set data for 'DefaultRcvWindow'"});
    EXPECT_EQ(run.restart.requests, 0);
}

TEST(TcpTuning, SearchesThatFindNothingStopBeforeTheTransport)
{
    struct Case
    {
        const char* what;
        std::function<void(Registry&)> seed;
        const char* says;
    };
    const std::vector<Case> cases{
        {"no adapter",
         [](Registry& r) {
             RegistryKey k = r.create(RegRoot::LocalMachine, kMstcp);
             ASSERT_TRUE(k.close());
         },
         "Dial-Up Adapter"},
        {"driver without a backslash",
         [](Registry& r) { seedChain(r, QStringLiteral("NetTrans0003")); }, "driver"},
    };
    for (const Case& c : cases) {
        MemoryRegistry r;
        c.seed(r);
        Tuning run;
        run(r, true);
        ASSERT_EQ(run.messages.size(), 1u) << c.what;
        EXPECT_TRUE(run.messages[0].contains(QLatin1String(c.says))) << c.what;
        EXPECT_EQ(stringAt(r, kMstcp, "DefaultTTL"), "128") << "written before the search";
        EXPECT_EQ(run.restart.requests, 0) << c.what;
    }
}

TEST(TcpTuning, AFailedSaveAndAWrongTypeAreReported)
{
    MemoryRegistry r;
    seedChain(r);
    r.failSavesWith = QStringLiteral("disk full");
    Tuning run;
    run(r, true);
    EXPECT_EQ(run.errors,
              std::vector<QString>{"Failed to set data for 'DefaultRcvWindow'\ndisk full"});

    MemoryRegistry typed;
    seedChain(typed);
    RegistryKey adapter = typed.create(RegRoot::LocalMachine, "Enum\\Root\\Net\\0002");
    ASSERT_TRUE(adapter.setDword("DeviceDesc", 7));
    ASSERT_TRUE(adapter.close());
    Tuning wrong;
    wrong(typed, true);
    EXPECT_EQ(wrong.errors, std::vector<QString>{"Invalid data type for 'DeviceDesc'"});
}

} // namespace
} // namespace zarvello
