#include "platform/Registry.h"

#include "support/MemoryRegistry.h"

#include <gtest/gtest.h>

namespace zarvello {
namespace {

const RegRoot HKLM = RegRoot::LocalMachine;

TEST(Registry, CreateAddsMissingKeysAndOpenFindsOnlyExistingOnes)
{
    MemoryRegistry reg;
    RegistryKey missing = reg.open(HKLM, QStringLiteral("Enum\\Root\\Net"));
    EXPECT_FALSE(missing.isOpen());
    EXPECT_EQ(missing.errorString(), QStringLiteral("no key HKEY_LOCAL_MACHINE\\Enum\\Root\\Net"));
    // What a failed open leaves: nothing to read or list, and writes fail.
    EXPECT_FALSE(missing.value(QStringLiteral("DeviceDesc")).has_value());
    EXPECT_TRUE(missing.subkeyNames().isEmpty());
    EXPECT_FALSE(missing.setString(QStringLiteral("DefaultTTL"), QStringLiteral("128")));
    EXPECT_TRUE(missing.errorString().contains(QLatin1String("not open")));
    EXPECT_TRUE(missing.close());
    EXPECT_TRUE(reg.tree().children().empty()) << "a failed open adds nothing";

    RegistryKey created = reg.create(HKLM, QStringLiteral("Software\\Zarvello"));
    ASSERT_TRUE(created.isOpen()) << created.errorString().toStdString();
    EXPECT_TRUE(created.close());
    EXPECT_EQ(reg.saves, 1) << "an added key is a change to save";

    RegistryKey again = reg.open(HKLM, QStringLiteral("Software\\Zarvello"));
    EXPECT_TRUE(again.isOpen());
    EXPECT_TRUE(again.close());
    EXPECT_EQ(reg.saves, 1) << "nothing changed, nothing saved";

    for (const char* bad : {"Software\\\\Zarvello", "Software\\", "\\Software"}) {
        RegistryKey key = reg.create(HKLM, QLatin1String(bad));
        EXPECT_FALSE(key.isOpen()) << bad;
        EXPECT_TRUE(key.errorString().contains(QLatin1String("empty key name"))) << bad;
    }
}

TEST(Registry, NamesIgnoreCaseAndKeepTheirFirstSpelling)
{
    MemoryRegistry reg;
    RegistryKey key = reg.create(HKLM, QStringLiteral("Software\\Zarvello"));
    ASSERT_TRUE(key.setDword(QStringLiteral("InColor1"), 3));
    ASSERT_TRUE(key.setDword(QStringLiteral("INCOLOR1"), 4));
    ASSERT_TRUE(key.close());

    RegistryKey other = reg.create(HKLM, QStringLiteral("SOFTWARE\\zarvello"));
    EXPECT_EQ(other.valueNames(), QStringList{QStringLiteral("InColor1")});
    EXPECT_EQ(other.value(QStringLiteral("incolor1"))->toDword(), 4U);
    ASSERT_TRUE(other.close());

    RegistryKey software = reg.open(HKLM, QStringLiteral("software"));
    EXPECT_EQ(software.subkeyNames(), QStringList{QStringLiteral("Zarvello")});
}

TEST(Registry, ListsSubkeysAndValuesInTheOrderTheyWereAdded)
{
    MemoryRegistry reg;
    for (const char* adapter : {"0002", "0000", "0001"}) {
        RegistryKey key =
            reg.create(HKLM, QStringLiteral("Enum\\Root\\Net\\") + QLatin1String(adapter));
        ASSERT_TRUE(key.isOpen());
    }
    RegistryKey bindings = reg.create(HKLM, QStringLiteral("Enum\\Root\\Net\\0000\\Bindings"));
    for (const char* name : {"VREDIR\\0001", "MSTCP\\0000", "NWLINK\\0003"}) {
        ASSERT_TRUE(bindings.setString(QLatin1String(name), QString()));
    }
    ASSERT_TRUE(bindings.setString(QStringLiteral("mstcp\\0000"), QStringLiteral("again")));
    EXPECT_EQ(bindings.valueNames(),
              (QStringList{QStringLiteral("VREDIR\\0001"), QStringLiteral("MSTCP\\0000"),
                           QStringLiteral("NWLINK\\0003")}));
    RegistryKey net = reg.open(HKLM, QStringLiteral("Enum\\Root\\Net"));
    EXPECT_EQ(net.subkeyNames(), (QStringList{QStringLiteral("0002"), QStringLiteral("0000"),
                                              QStringLiteral("0001")}));
}

TEST(Registry, ReadsValuesWithTheirTypes)
{
    MemoryRegistry reg;
    RegistryKey key = reg.create(HKLM, QStringLiteral("K"));
    ASSERT_TRUE(key.setDword(QStringLiteral("Left"), static_cast<quint32>(-5)));
    ASSERT_TRUE(key.setString(QStringLiteral("Text"), QStringLiteral("Dial-Up Adapter")));
    ASSERT_TRUE(key.setValue(QStringLiteral("Exp"),
                             RegData::string(QStringLiteral("%WINDIR%"), RegType::ExpandSz)));
    ASSERT_TRUE(key.setValue(QStringLiteral("Short"), {RegType::Dword, QByteArray("\1\2", 2)}));
    ASSERT_TRUE(key.setValue(QStringLiteral("Bin"), {RegType::Binary, QByteArray("ab\0cd", 5)}));
    ASSERT_TRUE(key.setValue(QString(), RegData::string(QStringLiteral("default"))));

    const RegData left = *key.value(QStringLiteral("Left"));
    EXPECT_TRUE(left.isDword());
    EXPECT_EQ(static_cast<qint32>(left.toDword()), -5);
    EXPECT_EQ(left.bytes, QByteArray("\xfb\xff\xff\xff", 4)) << "little-endian";

    const RegData text = *key.value(QStringLiteral("Text"));
    EXPECT_EQ(text.type, RegType::Sz);
    EXPECT_EQ(text.bytes, QByteArray("Dial-Up Adapter", 16)) << "with its terminating 0";
    EXPECT_EQ(text.toText(), QStringLiteral("Dial-Up Adapter"));
    EXPECT_FALSE(text.isDword());

    EXPECT_EQ(key.value(QStringLiteral("Exp"))->type, RegType::ExpandSz);
    EXPECT_TRUE(key.value(QStringLiteral("Exp"))->isString());
    EXPECT_FALSE(key.value(QStringLiteral("Short"))->isDword()) << "a REG_DWORD needs 4 bytes";
    EXPECT_EQ(key.value(QStringLiteral("Short"))->toDword(), 0U);
    EXPECT_EQ(key.value(QStringLiteral("Bin"))->toText(), QStringLiteral("ab")) << "up to the 0";
    EXPECT_EQ(key.value(QString())->toText(), QStringLiteral("default"));
    EXPECT_FALSE(key.value(QStringLiteral("Absent")).has_value());
}

TEST(Registry, WritesAreSavedOnceAtCloseAndAFailedSaveIsReportedAndRetried)
{
    MemoryRegistry reg;
    RegistryKey key = reg.create(HKLM, QStringLiteral("Software\\Zarvello"));
    for (int i = 0; i < 27; ++i) {
        ASSERT_TRUE(key.setDword(QStringLiteral("V%1").arg(i), static_cast<quint32>(i)));
    }
    EXPECT_EQ(reg.saves, 0);
    EXPECT_TRUE(key.close());
    EXPECT_EQ(reg.saves, 1);
    EXPECT_FALSE(reg.hasPendingChanges());

    reg.failSavesWith = QStringLiteral("disk full");
    key = reg.create(HKLM, QStringLiteral("Software\\Zarvello"));
    ASSERT_TRUE(key.setDword(QStringLiteral("Left"), 10));
    EXPECT_FALSE(key.close());
    EXPECT_EQ(key.errorString(), QStringLiteral("disk full"));
    EXPECT_FALSE(key.isOpen());
    EXPECT_TRUE(reg.hasPendingChanges()) << "the failed change is still to be saved";

    reg.failSavesWith.clear();
    RegistryKey later = reg.open(HKLM, QStringLiteral("Software\\Zarvello"));
    EXPECT_TRUE(later.close());
    EXPECT_EQ(reg.saves, 2);
    EXPECT_FALSE(reg.hasPendingChanges());
}

TEST(Registry, RefusesWhatTheFileCouldNotHold)
{
    MemoryRegistry reg;
    RegistryKey key = reg.create(HKLM, QStringLiteral("K"));
    EXPECT_FALSE(key.setString(QStringLiteral("two\nlines"), QString()));
    EXPECT_TRUE(key.errorString().contains(QLatin1String("control character")));
    EXPECT_FALSE(key.setString(QString(256, QLatin1Char('n')), QString()));
    EXPECT_FALSE(key.setValue(QStringLiteral("big"),
                              {RegType::Binary, QByteArray(RegLimits::ValueBytes + 1, 'x')}));
    EXPECT_TRUE(key.setValue(QStringLiteral("big"),
                             {RegType::Binary, QByteArray(RegLimits::ValueBytes, 'x')}));
    EXPECT_EQ(key.valueNames(), QStringList{QStringLiteral("big")});

    QStringList deep;
    for (int i = 0; i <= RegLimits::KeyDepth; ++i) {
        deep.append(QStringLiteral("k"));
    }
    EXPECT_FALSE(reg.create(HKLM, deep.join(QLatin1Char('\\'))).isOpen());
    deep.removeLast();
    EXPECT_TRUE(reg.create(HKLM, deep.join(QLatin1Char('\\'))).isOpen());
}

} // namespace
} // namespace zarvello
