// Generates a large, realistic assembly source: instructions of every shape, thousands of
// labels, data directives, and forward and backward references.
#pragma once

#include <string>

namespace qubrix::bench {

// About `lines` lines; `labels` distinct labels spread through the code.
std::string GenerateSource(int lines, int labels);

}  // namespace qubrix::bench
