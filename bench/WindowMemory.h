#pragma once

#include <optional>

namespace qc::bench {

// When the benchmark program is started as the entry window's process (the
// window-memory benchmark starts it so), opens the window, reports its figures
// on standard output and gives the exit code; nothing otherwise.
std::optional<int> runWindowMemoryChild();

}  // namespace qc::bench
