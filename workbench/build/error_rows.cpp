// The reading of the error list's line column.
#include "error_rows.h"

#include <climits>
#include <cstdint>

namespace korvan::build {

int parseLineColumn(std::string_view text) {
    std::size_t i = 0;
    // The blanks "%d" skips: space, tab, line feed, vertical tab, form feed, carriage return.
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    std::int64_t value = 0;
    bool digits = false;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        digits = true;
        // Past the int range the value stays at its limit instead of overflowing.
        if (value <= std::int64_t{INT_MAX} + 1) value = value * 10 + (text[i] - '0');
    }
    if (!digits) return 0;
    if (negative) return value > std::int64_t{INT_MAX} + 1 ? INT_MIN : static_cast<int>(-value);
    return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

std::string lineColumnText(int line) { return line > 0 ? std::to_string(line) : std::string(); }

std::string lineColumnText(int line, int column) {
    return line > 0 && column > 0 ? std::to_string(line) + ":" + std::to_string(column) : lineColumnText(line);
}

int jumpTargetColumn(std::string_view lineColumn) {
    const auto colon = lineColumn.find(':');
    if (colon == std::string_view::npos || !jumpTargetLine(lineColumn)) return 0;
    const int column = parseLineColumn(lineColumn.substr(colon + 1));
    return column > 0 ? column : 0;
}

std::optional<int> jumpTargetLine(std::string_view lineColumn) {
    const int line = parseLineColumn(lineColumn);
    if (line <= 0) return std::nullopt;
    return line - 1;
}

}  // namespace korvan::build
