// Plain rules of the monitor window.
#include "monitor_rules.h"

namespace korvan::monitor {

std::string downloadPathFor(std::string_view source) {
    const std::size_t slash = source.rfind('/');
    const std::size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
    const std::size_t dot = source.rfind('.');
    std::string base(source);
    // A leading dot names a hidden file, not an extension.
    if (dot != std::string_view::npos && dot > nameStart) base.resize(dot);
    return base + ".abs";
}

}  // namespace korvan::monitor
