#include "platform/Registry.h"

#include "support/MemoryRegistry.h"

#include <gtest/gtest.h>

namespace zarvello {
namespace {

using namespace Qt::StringLiterals;
const RegRoot HKLM = RegRoot::LocalMachine;

TEST(Registry, ChangesAreSavedOnceAtCloseAndNamesIgnoreCaseKeepingTheirFirstSpellingAndOrder)
{
    MemoryRegistry reg;
    EXPECT_EQ(reg.open(HKLM, u"Enum\\Net"_s).errorString(),
              u"no key HKEY_LOCAL_MACHINE\\Enum\\Net"_s);
    for (const char* adapter : {"0002", "Ab", "0001", "AB"}) {
        EXPECT_TRUE(reg.create(HKLM, u"Enum\\Net\\"_s + QLatin1String(adapter)).close());
    }
    EXPECT_EQ(reg.saves, 3) << "each added key is a change to save, once";
    RegistryKey key = reg.create(HKLM, u"ENUM\\net\\aB"_s);
    for (const char* name : {"VREDIR", "MSTCP", "mstcp"}) {
        ASSERT_TRUE(key.setDword(QLatin1String(name), static_cast<quint32>(-5)));
    }
    EXPECT_EQ(key.valueNames(), (QStringList{u"VREDIR"_s, u"MSTCP"_s}));
    EXPECT_TRUE(key.close() && reg.open(HKLM, u"enum\\NET\\ab"_s).close());
    EXPECT_EQ(reg.saves, 4) << "one save for the writes, none for an unchanged key";
    EXPECT_EQ(reg.open(HKLM, u"enum\\NET\\ab"_s).value(u"Mstcp"_s),
              (RegData{RegType::Dword, QByteArray("\xfb\xff\xff\xff", 4)}));
    EXPECT_EQ(reg.open(HKLM, u"enum\\NET"_s).subkeyNames(),
              (QStringList{u"0002"_s, u"Ab"_s, u"0001"_s}));
}

TEST(Registry, ReadsTypedValuesAndRefusesWhatTheFileCouldNotHold)
{
    MemoryRegistry reg;
    RegistryKey key = reg.create(HKLM, u"K"_s);
    ASSERT_TRUE(key.setString(u"Text"_s, u"Dial-Up Adapter"_s));
    ASSERT_TRUE(key.setValue(u"Short"_s, {RegType::Dword, QByteArray("\1\2", 2)}));
    ASSERT_TRUE(key.setValue(u"Bin"_s, {RegType::Binary, QByteArray("ab\0cd", 5)}));
    EXPECT_EQ(key.value(u"Text"_s), (RegData{RegType::Sz, QByteArray("Dial-Up Adapter", 16)}));
    EXPECT_EQ(key.value(u"Short"_s)->toDword(), 0U) << "a REG_DWORD needs 4 bytes";
    EXPECT_EQ(key.value(u"Bin"_s)->toText(), u"ab"_s) << "up to the 0";
    EXPECT_EQ(RegData::string(QString()).toText(), QString()) << "a 0 first is an empty text";

    EXPECT_FALSE(key.setString(u"two\nlines"_s, QString()));
    const QByteArray big(RegLimits::ValueBytes, 'x');
    EXPECT_FALSE(key.setValue(u"big"_s, {RegType::Binary, big + 'x'}));
    EXPECT_TRUE(key.setValue(u"big"_s, {RegType::Binary, big}));
    for (const char* bad : {"Software\\\\Zarvello", "Software\\", "\\Software"}) {
        EXPECT_TRUE(reg.create(HKLM, QLatin1String(bad)).errorString().contains(u"empty key name"));
    }
    const QString deep = u"k\\"_s.repeated(RegLimits::KeyDepth);
    EXPECT_FALSE(reg.create(HKLM, deep + u"k"_s).isOpen());
    EXPECT_TRUE(reg.create(HKLM, deep.chopped(1)).isOpen());
    // A key line holds at most KeyPathBytes, root name and backslashes included.
    const QString path = QString(255, u'k').append(u'\\').repeated(63) +
                         QString(RegLimits::KeyPathBytes - 19 - 256 * 63, u'k');
    EXPECT_TRUE(reg.create(HKLM, path).isOpen());
    EXPECT_FALSE(reg.create(HKLM, path + u'k').isOpen());
}

} // namespace
} // namespace zarvello
