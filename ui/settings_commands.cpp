// The Dimension, Display and Parameters commands. They open nothing until
// their dialogs exist.
#include "ui/dialog_commands.h"
#include "ui/main_window.h"

namespace ombrisk {

void run_dimension_command(MainWindow&) {}
void run_display_command(MainWindow&) {}
void run_parameters_command(MainWindow&) {}

}  // namespace ombrisk
