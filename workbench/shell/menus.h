// The three menu bars of the workbench (128: no window, 129: source window without the
// toolchain, 130: source window with the toolchain and monitor window) in both languages.
#pragma once

#include <string_view>
#include <vector>

#include "texts.h"

namespace korvan::shell {

inline constexpr int kMenuSetMain = 128;
inline constexpr int kMenuSetSource = 129;
inline constexpr int kMenuSetToolchain = 130;

struct MenuItem {
    enum class Kind { Command, Separator, Popup, RecentFiles };
    Kind kind = Kind::Command;
    int id = 0;                   // Command only
    std::string_view text;        // Command and Popup; a tab separates the shortcut text
    std::vector<MenuItem> items;  // Popup only
};

// Top-level entries of a menu bar, in order: pop-up menus and commands placed directly on
// the bar. An unknown set gives the main set.
std::vector<MenuItem> menuSet(int set, Language lang);

// A command of the debug toolbar: its keys (QKeySequence's portable text), its name on the
// button's tool tip and its status-line prompt.
struct DebugCommand {
    int id = 0;
    std::string_view keys;
    std::string_view label;
    std::string_view prompt;
};
// The debug toolbar's commands, in the toolbar's order.
std::vector<DebugCommand> debugCommands(Language lang);
// The debug toolbar's title.
std::string_view debugToolBarTitle(Language lang);

}  // namespace korvan::shell
