// Plain rules of the error list: how a row's line column leads to a source line.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace korvan::build {

// Reads the line column the way "%d" does: optional blanks, an optional sign, decimal digits,
// anything after them ignored. A text without digits gives 0; values beyond the int range are
// clamped to it.
int parseLineColumn(std::string_view text);

// What the line column shows for a diagnostic's line: the number, or nothing for a diagnostic
// without a source line (the library gives -1, or 0 for a file that did not open).
std::string lineColumnText(int line);

// The 0-based line a double-click on a row goes to, or nothing when the row's line column is
// not a line number above 0.
std::optional<int> jumpTargetLine(std::string_view lineColumn);

// The line column of a diagnostic with a column ("LINE:COLUMN"), and the 1-based column a
// double-click goes to (0 when the row has none).
std::string lineColumnText(int line, int column);
int jumpTargetColumn(std::string_view lineColumn);

}  // namespace korvan::build
