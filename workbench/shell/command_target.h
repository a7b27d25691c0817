// Command routing: every object that handles commands (view, document, main frame,
// application) keeps a table of handlers by command identifier. A command goes to the first
// object of the route that has a handler for it; a command without a handler is disabled.
#pragma once

#include <functional>
#include <optional>
#include <unordered_map>

namespace korvan::shell {

struct CommandHandler {
    std::function<void()> run;
    std::function<bool()> enabled;                 // empty: always enabled
    std::function<std::optional<bool>()> checked;  // empty: the item has no check mark
};

struct CommandState {
    bool handled = false;
    bool enabled = false;
    std::optional<bool> checked;
};

class CommandTarget {
public:
    virtual ~CommandTarget() = default;

    void setHandler(int id, CommandHandler handler) { m_handlers[id] = std::move(handler); }
    void removeHandler(int id) { m_handlers.erase(id); }
    const CommandHandler* handler(int id) const {
        auto it = m_handlers.find(id);
        return it == m_handlers.end() ? nullptr : &it->second;
    }
    // The next object on the route (a view passes on to its document).
    virtual CommandTarget* nextTarget() const { return nullptr; }

private:
    std::unordered_map<int, CommandHandler> m_handlers;
};

}  // namespace korvan::shell
