#pragma once

#include <QString>

// Where the program keeps its files, by the XDG base-directory rules. A
// variable that is unset, empty or relative is ignored (the rules call a
// relative one invalid) and the default stands in for it.
namespace zarvello::XdgPaths {

// $XDG_CONFIG_HOME/zarvello, or ~/.config/zarvello.
[[nodiscard]] QString configFolder();

// $XDG_STATE_HOME/zarvello, or ~/.local/state/zarvello.
[[nodiscard]] QString stateFolder();

// The session's runtime folder itself: $XDG_RUNTIME_DIR when it exists, or
// Qt's fallback for it.
[[nodiscard]] QString runtimeDirectory();

} // namespace zarvello::XdgPaths
