// The keyboard shortcut table of the workbench.
#include "commands.h"

#include <array>

namespace korvan::shell::cmd {

namespace {
// clang-format off
// keys              command
constexpr std::array kAccelerators{
    Accelerator{"Ctrl+N",        kFileNew},
    Accelerator{"Ctrl+O",        kFileOpen},
    Accelerator{"Ctrl+S",        kFileSave},
    Accelerator{"Ctrl+P",        kFilePrint},
    Accelerator{"Ctrl+Z",        kEditUndo},
    Accelerator{"Ctrl+X",        kEditCut},
    Accelerator{"Ctrl+C",        kEditCopy},
    Accelerator{"Ctrl+V",        kEditPaste},
    Accelerator{"Ctrl+A",        kEditSelectAll},
    Accelerator{"Ctrl+F",        kEditFind},
    Accelerator{"F3",            kEditRepeat},
    Accelerator{"Ctrl+H",        kEditReplace},
    Accelerator{"Alt+Return",    kOleProperties},
    Accelerator{"Alt+Backspace", kEditUndo},
    Accelerator{"Shift+Del",     kEditCut},
    Accelerator{"Ctrl+Ins",      kEditCopy},
    Accelerator{"Shift+Ins",     kEditPaste},
    Accelerator{"F6",            kNextPane},
    Accelerator{"Shift+F6",      kPrevPane},
    Accelerator{"Esc",           kCancelEdit},
};
// clang-format on
}  // namespace

std::span<const Accelerator> accelerators() { return kAccelerators; }

}  // namespace korvan::shell::cmd
