#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QString>

#include <optional>
#include <string_view>
#include <vector>

namespace zarvello {

// Value types, numbered as the registry numbers them. Any other number is
// kept as it is and written as hex(<type>).
namespace RegType {
inline constexpr quint32 None = 0;
inline constexpr quint32 Sz = 1;
inline constexpr quint32 ExpandSz = 2;
inline constexpr quint32 Binary = 3;
inline constexpr quint32 Dword = 4;
} // namespace RegType

// The predefined key a path starts from ("HKEY_LOCAL_MACHINE"...), in its
// own spelling, for a name of one in any case; empty for anything else.
[[nodiscard]] QString regRootName(const QString& name);

[[nodiscard]] inline bool regIsControl(char16_t c)
{
    return c < 0x20 || c == 0x7f;
}
// Strict: anything that would not come back byte for byte (malformed or
// truncated sequences, overlong forms, surrogates) is refused.
[[nodiscard]] std::optional<QString> regDecodeUtf8(std::string_view bytes);

// What the file and the tree accept. Everything within these limits is
// written back in a form that reads back within them. A real options file is
// a few kilobytes; the caps keep the worst accepted file to a fraction of a
// second and a few megabytes, whatever its names and nesting imply.
namespace RegLimits {
inline constexpr qsizetype FileBytes = qsizetype{1024} * 1024;
inline constexpr qsizetype LineBytes = qsizetype{64} * 1024; // one entry, continuation lines joined
inline constexpr qsizetype NameLength = 255; // UTF-16 units, key and value names alike
inline constexpr qsizetype KeyPathBytes = qsizetype{16} * 1024;
inline constexpr int KeyDepth = 64;        // keys below the root
inline constexpr qsizetype Keys = 10000;   // in the whole tree, root keys included
inline constexpr qsizetype Values = 10000; // in the whole tree
inline constexpr qsizetype ValueBytes = qsizetype{16} * 1024;
} // namespace RegLimits

// An empty text when `name` can be one key's name, else why not.
[[nodiscard]] QString regKeyNameProblem(const QString& name);
// An empty text when `name` can be a value's name ("" is the default value), else why not.
[[nodiscard]] QString regValueNameProblem(const QString& name);

// One value as stored: its type and its bytes.
struct RegData
{
    quint32 type = RegType::None;
    QByteArray bytes;

    [[nodiscard]] static RegData dword(quint32 value);
    // The text in UTF-8 with a terminating 0, as REG_SZ holds it.
    [[nodiscard]] static RegData string(const QString& text);

    // A REG_DWORD of exactly 4 bytes.
    [[nodiscard]] bool isDword() const { return type == RegType::Dword && bytes.size() == 4; }
    // The number of a REG_DWORD (little-endian); 0 for anything else.
    [[nodiscard]] quint32 toDword() const;
    [[nodiscard]] bool isString() const { return type == RegType::Sz || type == RegType::ExpandSz; }
    // The bytes up to the first 0, read as UTF-8.
    [[nodiscard]] QString toText() const;

    friend bool operator==(const RegData&, const RegData&) = default;
};

struct RegValue
{
    QString name; // "" is the key's default value
    quint32 type = RegType::None;
    // As stored: REG_DWORD little-endian, strings UTF-8 with their terminating 0.
    QByteArray data;

    friend bool operator==(const RegValue&, const RegValue&) = default;
};

// One key: its subkeys and values in the order they were added. Lookups
// ignore letter case (Unicode case folding); names keep the case they were
// added with. Adding a subkey may move the other subkeys of this key in
// memory, so do not hold on to a child across ensureChild on its parent.
class RegNode
{
public:
    RegNode() = default;
    explicit RegNode(QString name);

    [[nodiscard]] const QString& name() const { return name_; }
    [[nodiscard]] const std::vector<RegNode>& children() const { return children_; }
    [[nodiscard]] const std::vector<RegValue>& values() const { return values_; }

    [[nodiscard]] const RegNode* child(const QString& name) const;
    // The subkey of that name, added at the end if missing.
    RegNode& ensureChild(const QString& name);

    [[nodiscard]] const RegValue* value(const QString& name) const;
    // Replaces the data of a value already there (its name keeps its case and
    // place) or adds the value at the end.
    void setValue(const QString& name, quint32 type, const QByteArray& data);

    // Same names (exact case), same order, same values, all the way down.
    friend bool operator==(const RegNode& a, const RegNode& b);

private:
    QString name_;
    std::vector<RegNode> children_;
    std::vector<RegValue> values_;
    QHash<QString, qsizetype> childIndex_; // folded name -> position
    QHash<QString, qsizetype> valueIndex_;
};

struct RegParseResult
{
    // The whole file: the root keys (HKEY_...) are the children of this nameless node.
    // Empty when the text did not parse.
    RegNode tree;
    QString error;     // empty when the text parsed
    int errorLine = 0; // 1-based; 0 when the error is about the whole file

    [[nodiscard]] bool ok() const { return error.isEmpty(); }
};

// Reads the registry editor's REGEDIT4 export format, in UTF-8. Comment lines
// (";") are accepted and not kept. Deletion entries ("[-key]", "=-") are
// refused: this is a snapshot of keys, not a change list.
[[nodiscard]] RegParseResult parseRegFile(QByteArrayView text);

// Writes `tree` (as parseRegFile gives it) in the same format: every key that
// has values or no subkeys gets a section, in tree order; long hex data
// continues on further lines. The same tree always gives the same bytes.
[[nodiscard]] QByteArray writeRegFile(const RegNode& tree);

} // namespace zarvello
