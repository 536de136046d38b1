#include "platform/Registry.h"

#include "support/MemoryRegistry.h"

#include <gtest/gtest.h>

namespace zarvello {
namespace {

const RegRoot HKLM = RegRoot::LocalMachine;

TEST(Registry, CreateAddsKeysOpenFindsThemAndChangesAreSavedOnceAtClose)
{
    MemoryRegistry reg;
    RegistryKey missing = reg.open(HKLM, QStringLiteral("Enum\\Root\\Net"));
    EXPECT_FALSE(missing.isOpen());
    EXPECT_EQ(missing.errorString(), QStringLiteral("no key HKEY_LOCAL_MACHINE\\Enum\\Root\\Net"));
    EXPECT_FALSE(missing.setString(QStringLiteral("DefaultTTL"), QStringLiteral("128")));
    EXPECT_TRUE(missing.errorString().contains(u"not open"));
    EXPECT_TRUE(missing.close());
    EXPECT_TRUE(reg.tree().children().empty()) << "a failed open adds nothing";
    for (const char* bad : {"Software\\\\Zarvello", "Software\\", "\\Software"}) {
        EXPECT_TRUE(reg.create(HKLM, QLatin1String(bad)).errorString().contains(u"empty key name"))
            << bad;
    }

    RegistryKey key = reg.create(HKLM, QStringLiteral("Software\\Zarvello"));
    ASSERT_TRUE(key.isOpen()) << key.errorString().toStdString();
    EXPECT_TRUE(key.close());
    EXPECT_EQ(reg.saves, 1) << "an added key is a change to save";
    EXPECT_TRUE(reg.open(HKLM, QStringLiteral("Software\\Zarvello")).close());
    EXPECT_EQ(reg.saves, 1) << "nothing changed, nothing saved";

    key = reg.create(HKLM, QStringLiteral("Software\\Zarvello"));
    for (int i = 0; i < 27; ++i) {
        ASSERT_TRUE(key.setDword(QStringLiteral("V%1").arg(i), static_cast<quint32>(i)));
    }
    EXPECT_EQ(reg.saves, 1);
    EXPECT_TRUE(key.close());
    EXPECT_EQ(reg.saves, 2);

    reg.failSavesWith = QStringLiteral("disk full");
    key = reg.create(HKLM, QStringLiteral("Software\\Zarvello"));
    ASSERT_TRUE(key.setDword(QStringLiteral("Left"), 10));
    EXPECT_FALSE(key.close());
    EXPECT_EQ(key.errorString(), QStringLiteral("disk full"));
    EXPECT_FALSE(key.isOpen());
    EXPECT_TRUE(reg.hasPendingChanges()) << "the failed change is still to be saved";
    reg.failSavesWith.clear();
    EXPECT_TRUE(reg.open(HKLM, QStringLiteral("Software\\Zarvello")).close());
    EXPECT_EQ(reg.saves, 3);
    EXPECT_FALSE(reg.hasPendingChanges());
}

TEST(Registry, NamesIgnoreCaseKeepTheirFirstSpellingAndTheirOrder)
{
    MemoryRegistry reg;
    for (const char* adapter : {"0002", "Ab", "0001", "AB"}) {
        ASSERT_TRUE(
            reg.create(HKLM, QStringLiteral("Enum\\Net\\") + QLatin1String(adapter)).isOpen());
    }
    RegistryKey key = reg.create(HKLM, QStringLiteral("Enum\\Net\\aB"));
    for (const char* name : {"VREDIR\\0001", "MSTCP\\0000", "NWLINK\\0003", "mstcp\\0000"}) {
        ASSERT_TRUE(key.setDword(QLatin1String(name), 3));
    }
    ASSERT_TRUE(key.setDword(QStringLiteral("MSTCP\\0000"), 4));
    EXPECT_EQ(key.valueNames(),
              (QStringList{QStringLiteral("VREDIR\\0001"), QStringLiteral("MSTCP\\0000"),
                           QStringLiteral("NWLINK\\0003")}));
    EXPECT_EQ(reg.open(HKLM, QStringLiteral("ENUM\\net\\AB"))
                  .value(QStringLiteral("Mstcp\\0000"))
                  ->toDword(),
              4U);
    EXPECT_EQ(reg.open(HKLM, QStringLiteral("enum\\NET")).subkeyNames(),
              (QStringList{QStringLiteral("0002"), QStringLiteral("Ab"), QStringLiteral("0001")}));
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
    EXPECT_EQ(left.bytes, QByteArray("\xfb\xff\xff\xff", 4)) << "little-endian";
    EXPECT_EQ(static_cast<qint32>(left.toDword()), -5);
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

TEST(Registry, RefusesWhatTheFileCouldNotHold)
{
    MemoryRegistry reg;
    RegistryKey key = reg.create(HKLM, QStringLiteral("K"));
    EXPECT_FALSE(key.setString(QStringLiteral("two\nlines"), QString()));
    EXPECT_TRUE(key.errorString().contains(u"control character"));
    EXPECT_FALSE(key.setString(QString(256, QLatin1Char('n')), QString()));
    EXPECT_FALSE(key.setValue(QStringLiteral("big"),
                              {RegType::Binary, QByteArray(RegLimits::ValueBytes + 1, 'x')}));
    EXPECT_TRUE(key.setValue(QStringLiteral("big"),
                             {RegType::Binary, QByteArray(RegLimits::ValueBytes, 'x')}));
    EXPECT_EQ(key.valueNames(), QStringList{QStringLiteral("big")});
    const QString deep = QStringLiteral("k\\").repeated(RegLimits::KeyDepth);
    EXPECT_FALSE(reg.create(HKLM, deep + QStringLiteral("k")).isOpen());
    EXPECT_TRUE(reg.create(HKLM, deep.chopped(1)).isOpen());
}

} // namespace
} // namespace zarvello
