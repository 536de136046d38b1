#pragma once

namespace zarvello {

// Starts the program and runs it until the main window closes; returns the exit status.
int runApplication(int argc, char** argv);

} // namespace zarvello
