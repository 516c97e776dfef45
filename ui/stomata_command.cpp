// The Stomata command: the dialog, then a new lattice when it was accepted.
#include <QMessageBox>

#include "ui/dialog_commands.h"
#include "ui/main_window.h"
#include "ui/stomata_dialog.h"

namespace ombrisk {

void run_stomata_command(MainWindow& window) {
  ModelState& model = window.model();
  {
    StomataDialog dialog(
        model, window.random(),
        [&window](const QString& text, const QString& caption) {
          window.show_message(text, caption, QMessageBox::Critical, nullptr);
        },
        &window);
    dialog.exec();
  }
  if (model.dialog_accepted == 1) {
    free_lattice(model);
    reset_lattice(model);
  }
  window.request_repaint(false);
}

}  // namespace ombrisk
