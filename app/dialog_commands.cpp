#include "app/dialog_commands.h"

#include "app/commands.h"
#include "app/main_window.h"

namespace tovanix::app {

void registerDialogCommands(const DialogContext& context) {
    CTovanixDlg& w = context.window;
    w.setCommandHandler(kCmdChangePassword, [&w](unsigned) { w.editUser(); });
    w.setCommandHandler(kCmdChangeUser, [&w](unsigned) { w.changeUser(); });
    w.setCommandHandler(kCmdAbout, [&w](unsigned) { w.showAbout(); });
    w.setCommandHandler(kCmdTrayAbout, [&w](unsigned) { w.showAbout(); });
}

}  // namespace tovanix::app
