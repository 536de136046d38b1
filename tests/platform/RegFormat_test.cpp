#include "platform/RegFormat.h"

#include <gtest/gtest.h>

#include <tuple>

namespace zarvello {
namespace {

using namespace Qt::StringLiterals;

TEST(RegFormat, EveryValueComesBackAsItWasStored)
{
    const std::vector<std::tuple<const char*, QString, quint32, QByteArray>> cases{
        {"empty string", u"e"_s, 1, QByteArray(1, 0)},
        {"string with a 0 inside", u"z"_s, 1, QByteArray("ab\0cd\0", 6)},
        {"string without terminator", u"t"_s, 1, QByteArray("abc")},
        {"string with line breaks", u"n"_s, 1, QByteArray("line\r\nnext", 11)},
        {"string with a tab", u"tab"_s, 1, QByteArray("a\tb", 4)},
        {"string, not UTF-8", u"l1"_s, 1, QByteArray("caf\xe9\0", 5)},
        {"non-ASCII", u"Größe ☃"_s, 1, QByteArray("naïve ☃ 𝄞").append(char(0))},
        {"dword of 3 bytes", u"d3"_s, 4, QByteArray("\1\2\3", 3)},
        {"empty binary", u"b0"_s, 3, QByteArray()},
        {"largest value", u"max"_s, 3, QByteArray(RegLimits::ValueBytes, '\xff')},
        {"highest type", u"hi"_s, 0xffffffffU, QByteArray("\0\x80", 2)},
        {"default value", QString(), 1, QByteArray("@", 2)},
        {"quotes in the name", u"Path \"q\""_s, 1,
         QByteArray("C:\\Program Files\\\"x\"").append(char(0))},
    };
    RegNode tree;
    RegNode& key = tree.ensureChild(u"HKEY_LOCAL_MACHINE"_s).ensureChild(u"K"_s);
    for (const auto& [what, name, type, data] : cases) {
        key.setValue(name, type, data);
    }
    const RegParseResult back = parseRegFile(writeRegFile(tree));
    ASSERT_TRUE(back.ok()) << back.errorLine << ": " << back.error.toStdString();
    EXPECT_TRUE(back.tree == tree) << writeRegFile(tree).toStdString();
}

TEST(RegFormat, ReadsWhatPeopleAndOtherToolsWrite)
{
    const QByteArray text = "\xEF\xBB\xBFREGEDIT4\r\n; a comment\r\n"
                            "[hkey_local_machine\\Software\\Zarvello\\Deep]\r\n\r\n"
                            "[HKEY_LOCAL_MACHINE\\software\\ZARVELLO]\r\n\"In\" = DWORD:1\r\n"
                            "\"Bin\"=HEX:01, 2,\\\r\n\t  fF\r\n"
                            "\"Exp\"=hex(2):61,\\\r\n  00\r\n"
                            "\"IN\"=dword:00000002\r\n"
                            "[HKEY_LOCAL_MACHINE\\Software\\Zarvello]\r\n@=\"d\"";
    const RegParseResult r = parseRegFile(text);
    ASSERT_TRUE(r.ok()) << r.errorLine << ": " << r.error.toStdString();
    // The first spelling stays; later lines reach the same key and value.
    EXPECT_EQ(writeRegFile(r.tree).toStdString(),
              "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Zarvello]\n\"In\"=dword:00000002\n"
              "\"Bin\"=hex:01,02,ff\n\"Exp\"=hex(2):61,00\n@=\"d\"\n\n"
              "[HKEY_LOCAL_MACHINE\\Software\\Zarvello\\Deep]\n\n");
}

TEST(RegFormat, RefusesBadTextNamingTheLine)
{
    const QByteArray head = "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\K]\n";
    std::vector<std::tuple<QByteArray, int, const char*>> cases{
        {"", 1, "empty file"},
        {"Windows Registry Editor Version 5.00\n", 1, "first line is not REGEDIT4"},
        {head + "\"a\"=\"x\\y\"\n", 4, "bad escape in string"},
        {head + "\"a\"=\"open\n\"b\"=\"c\"\n", 4, "unterminated string"},
        {head + "\"a\"=\"x\" y\n", 4, "unexpected text after the string"},
        {head + "\"a\"=\"x\ty\x01\"\n", 4, "control character in string"},
        {head + "\"a\"=qword:0000000000000001\n", 4, "unknown value type"},
        {head + "\"a\"=dword:123456789\n", 4, "bad dword value"},
        {head + "\"a\"=hex:01,zz\n", 4, "bad hex byte"},
        {head + "\"a\"=hex:01,02,\n", 4, "hex data ends with a comma"},
        {head + "\"a\"=hex(2x):00\n", 4, "bad type in hex(type)"},
        {head + "\"a\"=hex:01,\\\n  02,\\\n", 5, "continues past the end"},
        {head + "\"a\"=hex:01,\\\n  0g\n", 5, "bad hex byte"},
        {head + "\"a\"=-\n", 4, "value deletions"},
        {head + "\"a\"\n", 4, "expected = after the value name"},
        {head + "\"\xc3\x28\"=\"\"\n", 4, "invalid UTF-8 in value name"},
        {head + "\"a\"=\"\xed\xa0\x80\"\n", 4, "invalid UTF-8 in string"},
        {head + "\"a\"=\"" + QByteArray(RegLimits::LineBytes, 'a') + "\"\n", 4,
         "line longer than 64 KiB"},
        {head + "\"" + QByteArray(256, 'n') + "\"=\"\"\n", 4, "value name longer than 255"},
        {head + QByteArray("\"a\"=\"\0\"\n", 8), 4, "NUL byte"},
        {head + "junk\n", 4, "expected [key]"},
        {"REGEDIT4\n\"a\"=\"b\"\n", 2, "value before the first [key] line"},
        {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\K\n", 2, "key line does not end with ]"},
        {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\\\K]\n", 2, "empty key name"},
        {"REGEDIT4\n[HKEY_NOWHERE\\K]\n", 2, "root key"},
        {"REGEDIT4\n[]\n", 2, "root key"},
        {"REGEDIT4\n[-HKEY_LOCAL_MACHINE\\K]\n", 2, "key deletions"},
        {"REGEDIT4\n[HKEY_USERS\\" + QByteArray(256, 'k') + "]\n", 2, "key name longer than 255"},
    };
    QByteArray keys = "REGEDIT4\n";
    QByteArray values = head;
    for (int i = 0; i <= RegLimits::Keys; ++i) {
        keys += "[HKEY_USERS\\k" + QByteArray::number(i) + "]\n";
        values += "\"v" + QByteArray::number(i) + "\"=dword:1\n";
    }
    cases.push_back({keys, RegLimits::Keys + 1, "more than 10000 keys"});
    cases.push_back({values, RegLimits::Values + 4, "more than 10000 values"});
    // Exactly at a limit a text reads; one level or byte more does not.
    const auto limit = [&](const QByteArray& at, const QByteArray& more, const QByteArray& end,
                           int line, const char* message) {
        EXPECT_TRUE(parseRegFile(at + end).ok()) << message;
        cases.push_back({at + more + end, line, message});
    };
    limit("REGEDIT4\n[HKEY_USERS" + QByteArray("\\k").repeated(RegLimits::KeyDepth), "\\k", "]\n",
          2, "key path deeper than 64 levels");
    limit(QByteArray(";\n").repeated(RegLimits::FileBytes / 2).replace(0, 10, "REGEDIT4\n\n"), ";",
          "", 0, "file larger than 1024 KiB");
    limit("REGEDIT4\n[HKEY_LOCAL_MACHINE" + QByteArray(255, 'k').prepend('\\').repeated(63) + '\\' +
              QByteArray(RegLimits::KeyPathBytes - 18 - 256 * 63 - 1, 'k'),
          "k", "]\n", 2, "key path longer than 16384 bytes");
    limit("REGEDIT4\n[HKEY_USERS]\n\"v\"=hex:" +
              QByteArray("00,").repeated(RegLimits::ValueBytes - 1) + "00",
          ",00", "\n", 3, "value data longer than 16384 bytes");
    for (const auto& [text, line, message] : cases) {
        SCOPED_TRACE(message);
        const RegParseResult r = parseRegFile(text);
        EXPECT_EQ(std::tuple(r.errorLine, r.error.contains(QLatin1String(message))),
                  std::tuple(line, true))
            << r.error.toStdString();
    }
}

} // namespace
} // namespace zarvello
