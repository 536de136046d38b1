#include "platform/RegFormat.h"

#include <QStringDecoder>

#include <array>
#include <charconv>
#include <cstring>
#include <string_view>
#include <utility>

namespace zarvello {

namespace {

constexpr std::array<const char*, 5> kRoots{"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER",
                                            "HKEY_LOCAL_MACHINE", "HKEY_USERS",
                                            "HKEY_CURRENT_CONFIG"};

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view trimmed(std::string_view v)
{
    const std::size_t first = v.find_first_not_of(" \t");
    return first == std::string_view::npos ? std::string_view()
                                           : v.substr(first, v.find_last_not_of(" \t") - first + 1);
}

// 1 to `maxDigits` hex digits and nothing else.
std::optional<quint32> parseHexNumber(std::string_view digits, std::size_t maxDigits)
{
    quint32 value = 0;
    const char* end = digits.data() + digits.size();
    if (digits.empty() || digits.size() > maxDigits ||
        std::from_chars(digits.data(), end, value, 16).ptr != end) {
        return std::nullopt;
    }
    return value;
}

bool startsWithNoCase(std::string_view text, const char* prefix)
{
    const std::size_t n = std::strlen(prefix);
    return text.size() >= n && qstrnicmp(text.data(), prefix, n) == 0;
}

QString nameProblem(const QString& name, const char* what)
{
    if (name.size() > RegLimits::NameLength) {
        return QStringLiteral("%1 longer than %2 characters")
            .arg(QLatin1String(what))
            .arg(RegLimits::NameLength);
    }
    if (!name.isValidUtf16()) {
        return QStringLiteral("%1 is not valid Unicode").arg(QLatin1String(what));
    }
    for (QChar c : name) {
        if (regIsControl(c.unicode())) {
            return QStringLiteral("%1 contains a control character").arg(QLatin1String(what));
        }
    }
    return {};
}

class Parser
{
public:
    explicit Parser(std::string_view text) : text_(text) {}

    RegParseResult run()
    {
        // Every failure goes through fail(), so an ok result has no error.
        if (parseAll()) {
            result_.tree = std::move(tree_);
        }
        return std::move(result_);
    }

private:
    bool fail(int line, const QString& message)
    {
        result_.errorLine = line;
        result_.error = message;
        return false;
    }

    bool failTooLong(const char* what, qsizetype limit)
    {
        return fail(lineNo_,
                    QStringLiteral("%1 longer than %2 bytes").arg(QLatin1String(what)).arg(limit));
    }

    // The next physical line without its end-of-line, or false at the end of
    // the text or on a line the file may not have.
    bool nextLine(std::string_view* line)
    {
        if (pos_ >= text_.size()) {
            return false;
        }
        const std::size_t end = text_.find('\n', pos_);
        std::string_view l =
            end == std::string_view::npos ? text_.substr(pos_) : text_.substr(pos_, end - pos_);
        pos_ = end == std::string_view::npos ? text_.size() : end + 1;
        ++lineNo_;
        if (!l.empty() && l.back() == '\r') {
            l.remove_suffix(1);
        }
        if (static_cast<qsizetype>(l.size()) > RegLimits::LineBytes) {
            return fail(lineNo_, QStringLiteral("line longer than 64 KiB"));
        }
        if (l.find('\0') != std::string_view::npos) {
            return fail(lineNo_, QStringLiteral("NUL byte in the file"));
        }
        *line = l;
        return true;
    }

    bool parseAll()
    {
        if (static_cast<qsizetype>(text_.size()) > RegLimits::FileBytes) {
            return fail(0,
                        QStringLiteral("file larger than %1 KiB").arg(RegLimits::FileBytes / 1024));
        }
        if (text_.substr(0, 3) == "\xEF\xBB\xBF") {
            text_.remove_prefix(3);
        }
        std::string_view line;
        if (!nextLine(&line)) {
            return result_.error.isEmpty() &&
                   fail(1, QStringLiteral("empty file, expected REGEDIT4"));
        }
        if (trimmed(line) != "REGEDIT4") {
            return fail(1, QStringLiteral("first line is not REGEDIT4"));
        }
        while (nextLine(&line)) {
            const std::string_view t = trimmed(line);
            if (t.empty() || t.front() == ';') {
                continue;
            }
            if (t.front() == '[') {
                if (!parseSection(t)) {
                    return false;
                }
            } else if (t.front() == '"' || t.front() == '@') {
                if (!parseValue(t)) {
                    return false;
                }
            } else {
                return fail(lineNo_, QStringLiteral(
                                         "expected [key], \"name\"=value, @=value or a ; comment"));
            }
        }
        return result_.error.isEmpty();
    }

    bool parseSection(std::string_view t)
    {
        if (t.size() < 2 || t.back() != ']') {
            return fail(lineNo_, QStringLiteral("key line does not end with ]"));
        }
        const std::string_view inner = t.substr(1, t.size() - 2);
        if (!inner.empty() && inner.front() == '-') {
            return fail(lineNo_, QStringLiteral("key deletions ([-...]) are not allowed here"));
        }
        if (static_cast<qsizetype>(inner.size()) > RegLimits::KeyPathBytes) {
            return failTooLong("key path", RegLimits::KeyPathBytes);
        }
        const std::optional<QString> path = regDecodeUtf8(inner);
        if (!path) {
            return fail(lineNo_, QStringLiteral("invalid UTF-8 in key path"));
        }
        const QStringList parts = path->split(QLatin1Char('\\'));
        const QString root = regRootName(parts.front());
        if (root.isEmpty()) {
            return fail(lineNo_, QStringLiteral("key path does not start with a root key such as "
                                                "HKEY_LOCAL_MACHINE"));
        }
        if (parts.size() - 1 > RegLimits::KeyDepth) {
            return fail(lineNo_,
                        QStringLiteral("key path deeper than %1 levels").arg(RegLimits::KeyDepth));
        }
        for (qsizetype i = 1; i < parts.size(); ++i) {
            const QString problem = regKeyNameProblem(parts[i]);
            if (!problem.isEmpty()) {
                return fail(lineNo_, problem);
            }
        }
        RegNode* node = addKey(tree_, root);
        qsizetype storedBytes = node == nullptr ? 0 : node->name().size();
        for (qsizetype i = 1; node != nullptr && i < parts.size(); ++i) {
            node = addKey(*node, parts[i]);
            storedBytes += node == nullptr ? 0 : 1 + node->name().toUtf8().size();
        }
        if (node == nullptr) {
            return fail(lineNo_, QStringLiteral("more than %1 keys").arg(RegLimits::Keys));
        }
        // Keys are written back with the spelling they were first given, which
        // may take more bytes than the one on this line.
        if (storedBytes > RegLimits::KeyPathBytes) {
            return failTooLong("key path", RegLimits::KeyPathBytes);
        }
        current_ = node;
        return true;
    }

    // `pos` is at the opening quote; on success it is just past the closing one.
    bool parseQuoted(std::string_view t, std::size_t* pos, std::string* out)
    {
        std::size_t p = *pos + 1;
        while (p < t.size()) {
            const char c = t[p];
            if (c == '"') {
                *pos = p + 1;
                return true;
            }
            if (c == '\\') {
                if (p + 1 >= t.size()) {
                    break;
                }
                const char next = t[p + 1];
                if (next != '\\' && next != '"') {
                    return fail(lineNo_, QStringLiteral("bad escape in string (only \\\\ and "
                                                        "\\\" are allowed)"));
                }
                out->push_back(next);
                p += 2;
                continue;
            }
            if (c != '\t' && regIsControl(static_cast<unsigned char>(c))) {
                return fail(lineNo_, QStringLiteral("control character in string"));
            }
            out->push_back(c);
            ++p;
        }
        return fail(lineNo_, QStringLiteral("unterminated string"));
    }

    bool parseValue(std::string_view t)
    {
        if (current_ == nullptr) {
            return fail(lineNo_, QStringLiteral("value before the first [key] line"));
        }
        std::size_t p = 0;
        QString name;
        if (t.front() == '@') {
            p = 1;
        } else {
            std::string raw;
            if (!parseQuoted(t, &p, &raw)) {
                return false;
            }
            const std::optional<QString> decoded = regDecodeUtf8(raw);
            if (!decoded) {
                return fail(lineNo_, QStringLiteral("invalid UTF-8 in value name"));
            }
            name = *decoded;
            const QString problem = regValueNameProblem(name);
            if (!problem.isEmpty()) {
                return fail(lineNo_, problem);
            }
        }
        while (p < t.size() && isBlank(t[p])) {
            ++p;
        }
        if (p >= t.size() || t[p] != '=') {
            return fail(lineNo_, QStringLiteral("expected = after the value name"));
        }
        const std::string_view rest = trimmed(t.substr(p + 1));

        quint32 type = RegType::Binary;
        QByteArray data;
        if (!rest.empty() && rest.front() == '"') {
            std::size_t q = 0;
            std::string raw;
            if (!parseQuoted(rest, &q, &raw)) {
                return false;
            }
            if (q != rest.size()) {
                return fail(lineNo_, QStringLiteral("unexpected text after the string"));
            }
            if (!regDecodeUtf8(raw)) {
                return fail(lineNo_, QStringLiteral("invalid UTF-8 in string"));
            }
            type = RegType::Sz;
            data = QByteArray(raw.data(), static_cast<qsizetype>(raw.size()));
            data.append('\0');
        } else if (rest == "-") {
            return fail(lineNo_, QStringLiteral("value deletions (=-) are not allowed here"));
        } else if (startsWithNoCase(rest, "dword:")) {
            const std::optional<quint32> v = parseHexNumber(trimmed(rest.substr(6)), 8);
            if (!v) {
                return fail(lineNo_, QStringLiteral("bad dword value (1 to 8 hex digits)"));
            }
            type = RegType::Dword;
            data = RegData::dword(*v).bytes;
        } else if (startsWithNoCase(rest, "hex")) {
            std::string_view r = rest.substr(3);
            if (!r.empty() && r.front() == '(') {
                const std::size_t close = r.find(')');
                const std::optional<quint32> n = close == std::string_view::npos
                                                     ? std::nullopt
                                                     : parseHexNumber(r.substr(1, close - 1), 8);
                if (!n) {
                    return fail(lineNo_, QStringLiteral("bad type in hex(type)"));
                }
                type = *n;
                r = r.substr(close + 1);
            }
            if (r.empty() || r.front() != ':') {
                return fail(lineNo_, QStringLiteral("expected : after hex"));
            }
            if (!parseHex(r.substr(1), t.size(), &data)) {
                return false;
            }
        } else {
            return fail(lineNo_, QStringLiteral("unknown value type (expected \"text\", dword:, "
                                                "hex: or hex(type):)"));
        }
        if (data.size() > RegLimits::ValueBytes) {
            return failTooLong("value data", RegLimits::ValueBytes);
        }
        if (current_->value(name) == nullptr && ++values_ > RegLimits::Values) {
            return fail(lineNo_, QStringLiteral("more than %1 values").arg(RegLimits::Values));
        }
        current_->setValue(name, type, data);
        return true;
    }

    // The subkey of `parent`, added when missing; nullptr when that would
    // pass the cap on keys.
    RegNode* addKey(RegNode& parent, const QString& name)
    {
        if (parent.child(name) == nullptr && ++keys_ > RegLimits::Keys) {
            return nullptr;
        }
        return &parent.ensureChild(name);
    }

    // Comma-separated bytes; a segment ending in "\" continues on the next line.
    bool parseHex(std::string_view segment, std::size_t entryBytes, QByteArray* data)
    {
        std::size_t logical = entryBytes;
        for (;;) {
            std::string_view s = trimmed(segment);
            const bool continued = !s.empty() && s.back() == '\\';
            if (continued) {
                s = trimmed(s.substr(0, s.size() - 1));
                --logical;
            }
            while (!s.empty()) {
                const std::size_t comma = s.find(',');
                const std::string_view token =
                    trimmed(comma == std::string_view::npos ? s : s.substr(0, comma));
                const std::optional<quint32> byte = parseHexNumber(token, 2);
                if (!byte) {
                    return fail(lineNo_, QStringLiteral("bad hex byte"));
                }
                if (data->size() >= RegLimits::ValueBytes) {
                    return failTooLong("value data", RegLimits::ValueBytes);
                }
                data->append(static_cast<char>(*byte));
                if (comma == std::string_view::npos) {
                    break;
                }
                s = s.substr(comma + 1);
                // A comma may close a line that continues, never the data.
                if (trimmed(s).empty() && !continued) {
                    return fail(lineNo_, QStringLiteral("hex data ends with a comma"));
                }
                if (trimmed(s).empty()) {
                    break;
                }
            }
            if (!continued) {
                return true;
            }
            const int from = lineNo_;
            if (!nextLine(&segment)) {
                return result_.error.isEmpty() &&
                       fail(from, QStringLiteral("hex data continues past the end of the file"));
            }
            logical += trimmed(segment).size();
            if (static_cast<qsizetype>(logical) > RegLimits::LineBytes) {
                return fail(lineNo_, QStringLiteral("entry longer than 64 KiB"));
            }
        }
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    int lineNo_ = 0;
    RegNode tree_;
    RegNode* current_ = nullptr;
    qsizetype keys_ = 0;
    qsizetype values_ = 0;
    RegParseResult result_; // its tree is filled in only once all of the text parsed
};

} // namespace

// Strict: anything that would not come back byte for byte (malformed or
// truncated sequences, overlong forms, surrogates) is refused.
std::optional<QString> regDecodeUtf8(std::string_view bytes)
{
    const QByteArrayView view(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder.decode(view);
    if (decoder.hasError() || QByteArrayView(text.toUtf8()) != view) {
        return std::nullopt;
    }
    return text;
}

QString regRootName(const QString& name)
{
    for (const char* root : kRoots) {
        if (name.compare(QLatin1String(root), Qt::CaseInsensitive) == 0) {
            return QLatin1String(root);
        }
    }
    return {};
}

QString regKeyNameProblem(const QString& name)
{
    if (name.isEmpty()) {
        return QStringLiteral("empty key name");
    }
    if (name.contains(QLatin1Char('\\'))) {
        return QStringLiteral("key name contains a backslash");
    }
    return nameProblem(name, "key name");
}

QString regValueNameProblem(const QString& name)
{
    return nameProblem(name, "value name");
}

RegParseResult parseRegFile(QByteArrayView text)
{
    return Parser(std::string_view(text.data(), static_cast<std::size_t>(text.size()))).run();
}

} // namespace zarvello
