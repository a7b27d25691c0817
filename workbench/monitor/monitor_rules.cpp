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

std::string pasteBytes(std::u16string_view text) {
    std::string bytes;
    bytes.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') continue;  // the LF that follows ends it
        if (c == u'\n' || c == u'\r')
            bytes += '\r';
        else if (c < 0x100)
            bytes += static_cast<char>(c);
    }
    return bytes;
}

}  // namespace korvan::monitor
