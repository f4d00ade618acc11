// The one place where dialogs meet the window's commands: a dialog is opened
// by registering its command here with setCommandHandler. The rights stay in
// the command table (app/commands.cpp) and the window checks them before a
// handler runs, so no dialog checks them again. A command shows in its menu
// once it has a handler.
#pragma once

namespace tovanix {
class Prompter;
}
namespace tovanix::devices {
class Engine;
}

namespace tovanix::app {

class CTovanixDlg;

// What a dialog's command handler may use; all outlive the window's dialogs.
struct DialogContext {
    CTovanixDlg& window;
    devices::Engine& engine;
    Prompter& prompter;
};

void registerDialogCommands(const DialogContext& context);

}  // namespace tovanix::app
