#pragma once

namespace zarvello {

// The fixed layouts were drawn for two Windows faces, "MS Sans Serif" and
// "Arial". Where they are not installed, this registers the face that keeps
// every text inside its place. Call once, after the application object exists.
void registerStandInFonts();

} // namespace zarvello
