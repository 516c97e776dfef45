// The Stomata command. It opens nothing until its dialog exists.
#include "ui/dialog_commands.h"
#include "ui/main_window.h"

namespace ombrisk {

void run_stomata_command(MainWindow&) {}

}  // namespace ombrisk
