// Whatever the text, the parser either refuses it with a line inside the
// text, or gives a tree that the writer writes so that it reads back as the
// same tree and writes again as the same bytes; and it does so within a
// memory cap (see the Makefile), however much the text's names and nesting
// would imply.
#include "platform/RegFormat.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void broken(const char* what, const QByteArray& text = {})
{
    std::fprintf(stderr, "regformat_fuzz: %s\n%s\n", what, text.constData());
    std::abort();
}

// The lookups must find every name the tree holds, under its own spelling.
void checkIndexes(const zarvello::RegNode& node)
{
    for (const zarvello::RegNode& child : node.children()) {
        if (node.child(child.name()) != &child) {
            broken("a subkey is not found under its own name");
        }
        checkIndexes(child);
    }
    for (const zarvello::RegValue& value : node.values()) {
        if (node.value(value.name) != &value) {
            broken("a value is not found under its own name");
        }
    }
}

} // namespace

// The run fails on memory (-rss_limit_mb): freed blocks that AddressSanitizer
// holds back must not count as the parser's.
extern "C" const char* __asan_default_options()
{
    return "quarantine_size_mb=16";
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // A view, not a copy: reading past the input is caught.
    const QByteArrayView input(data, static_cast<qsizetype>(size));
    const zarvello::RegParseResult first = zarvello::parseRegFile(input);
    if (!first.ok()) {
        const auto lines = std::count(data, data + size, '\n') + 1;
        if (first.errorLine < 0 || first.errorLine > lines || first.error.isEmpty() ||
            !first.tree.children().empty()) {
            broken("a refusal without a line in the text, a message, or with a tree");
        }
        return 0;
    }
    checkIndexes(first.tree);

    const QByteArray text = zarvello::writeRegFile(first.tree);
    const zarvello::RegParseResult second = zarvello::parseRegFile(text);
    if (!second.ok()) {
        broken(qPrintable(QStringLiteral("written text does not read back: line %1: %2")
                              .arg(second.errorLine)
                              .arg(second.error)),
               text);
    }
    if (!(second.tree == first.tree)) {
        broken("written text reads back as another tree", text);
    }
    if (zarvello::writeRegFile(second.tree) != text) {
        broken("the same tree is written differently", text);
    }
    return 0;
}
