// Generates a large, realistic assembly source: instructions of every shape, thousands of
// labels, data directives, and forward and backward references.
#pragma once

#include <string>

namespace qubrix::bench {

// The name under which a realistic source includes its definitions file.
inline constexpr const char* kDefinitionsFile = "equates.def";

// About `lines` lines; `labels` distinct labels spread through the code. A realistic source
// is laid out as people write it: comment blocks, tabs between the fields, trailing comments,
// and an INCLUDE of kDefinitionsFile whose constants the code uses.
std::string GenerateSource(int lines, int labels, bool realistic = false);

// The definitions file a realistic source includes: commented EQU lines.
std::string GenerateDefinitions();

}  // namespace qubrix::bench
