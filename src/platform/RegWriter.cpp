#include "platform/RegFormat.h"

#include <QStringDecoder>
#include <QtEndian>

namespace zarvello {

namespace {

// Hex data lines end with "\" once they reach this column, as the registry
// editor wraps them.
constexpr qsizetype kHexWrapColumn = 76;

void appendEscaped(QByteArray& out, QByteArrayView bytes)
{
    for (char c : bytes) {
        if (c == '\\' || c == '"') {
            out.append('\\');
        }
        out.append(c);
    }
}

// A REG_SZ goes between quotes when it reads back as the same bytes: one
// terminating 0 and nothing a quoted string cannot hold.
bool isQuotable(const QByteArray& data)
{
    if (data.isEmpty() || data.back() != '\0') {
        return false;
    }
    const std::string_view text(data.constData(), static_cast<std::size_t>(data.size() - 1));
    for (char c : text) {
        if (c != '\t' && regIsControl(static_cast<unsigned char>(c))) {
            return false; // also the 0 byte
        }
    }
    return regDecodeUtf8(text).has_value();
}

void writeValue(QByteArray& out, const RegValue& value)
{
    const qsizetype lineStart = out.size();
    if (value.name.isEmpty()) {
        out.append('@');
    } else {
        out.append('"');
        appendEscaped(out, value.name.toUtf8());
        out.append('"');
    }
    out.append('=');
    const QByteArray& data = value.data;
    if (value.type == RegType::Sz && isQuotable(data)) {
        out.append('"');
        appendEscaped(out, QByteArrayView(data).first(data.size() - 1));
        out.append("\"\n");
        return;
    }
    if (value.type == RegType::Dword && data.size() == 4) {
        const quint32 number = RegData{value.type, data}.toDword();
        out.append("dword:" + QByteArray::number(number, 16).rightJustified(8, '0') + '\n');
        return;
    }
    if (value.type == RegType::Binary) {
        out.append("hex:");
    } else {
        out.append("hex(" + QByteArray::number(value.type, 16) + "):");
    }
    qsizetype column = out.size() - lineStart;
    for (qsizetype i = 0; i < data.size(); ++i) {
        if (i > 0 && column + 3 > kHexWrapColumn) {
            out.append("\\\n  ");
            column = 2;
        }
        out.append(data.mid(i, 1).toHex());
        column += 2;
        if (i + 1 < data.size()) {
            out.append(',');
            ++column;
        }
    }
    out.append('\n');
}

void writeKey(QByteArray& out, const RegNode& node, const QByteArray& path)
{
    if (!node.values().empty() || node.children().empty()) {
        out.append('[' + path + "]\n");
        for (const RegValue& value : node.values()) {
            writeValue(out, value);
        }
        out.append('\n');
    }
    for (const RegNode& child : node.children()) {
        writeKey(out, child, path + '\\' + child.name().toUtf8());
    }
}

} // namespace

RegData RegData::dword(quint32 value)
{
    QByteArray bytes(4, '\0');
    qToLittleEndian(value, bytes.data());
    return {RegType::Dword, bytes};
}

RegData RegData::string(const QString& text)
{
    return {RegType::Sz, text.toUtf8().append('\0')};
}

quint32 RegData::toDword() const
{
    return isDword() ? qFromLittleEndian<quint32>(bytes.constData()) : 0;
}

QString RegData::toText() const
{
    const qsizetype end = bytes.indexOf('\0');
    // A leading U+FEFF is part of the text, not a byte order mark.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    return decoder.decode(end < 0 ? QByteArrayView(bytes) : QByteArrayView(bytes).first(end));
}

RegNode::RegNode(QString name) : name_(std::move(name)) {}

const RegNode* RegNode::child(const QString& name) const
{
    const auto it = childIndex_.constFind(name.toCaseFolded());
    return it == childIndex_.cend() ? nullptr : &children_[static_cast<std::size_t>(*it)];
}

RegNode& RegNode::ensureChild(const QString& name)
{
    const QString key = name.toCaseFolded();
    const auto it = childIndex_.constFind(key);
    if (it != childIndex_.cend()) {
        return children_[static_cast<std::size_t>(*it)];
    }
    childIndex_.insert(key, static_cast<qsizetype>(children_.size()));
    return children_.emplace_back(name);
}

const RegValue* RegNode::value(const QString& name) const
{
    const auto it = valueIndex_.constFind(name.toCaseFolded());
    return it == valueIndex_.cend() ? nullptr : &values_[static_cast<std::size_t>(*it)];
}

void RegNode::setValue(const QString& name, quint32 type, const QByteArray& data)
{
    const QString key = name.toCaseFolded();
    const auto it = valueIndex_.constFind(key);
    if (it != valueIndex_.cend()) {
        values_[static_cast<std::size_t>(*it)] = {values_[static_cast<std::size_t>(*it)].name, type,
                                                  data};
        return;
    }
    valueIndex_.insert(key, static_cast<qsizetype>(values_.size()));
    values_.push_back(RegValue{name, type, data});
}

bool operator==(const RegNode& a, const RegNode& b)
{
    return a.name_ == b.name_ && a.values_ == b.values_ && a.children_ == b.children_;
}

QByteArray writeRegFile(const RegNode& tree)
{
    QByteArray out("REGEDIT4\n\n");
    for (const RegNode& root : tree.children()) {
        writeKey(out, root, root.name().toUtf8());
    }
    return out;
}

} // namespace zarvello
