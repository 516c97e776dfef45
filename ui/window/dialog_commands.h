// The commands that open the settings dialogs. Each shows its dialog modally
// and then does what the command does after the dialog returns (rebuild the
// lattice, restart the timer, apply the title rule, repaint).
#pragma once

namespace ombrisk {

class MainWindow;

void run_dimension_command(MainWindow& window);   // 32771
void run_display_command(MainWindow& window);     // 32777
void run_parameters_command(MainWindow& window);  // 32779
void run_stomata_command(MainWindow& window);     // 32778

}  // namespace ombrisk
