// The commands that open the settings dialogs: each shows its dialog and then
// does what the command does around it.
#include "ui/window/dialog_commands.h"

#include <QMessageBox>

#include "model/commands.h"
#include "ui/dialogs/dimension_dialog.h"
#include "ui/dialogs/display_dialog.h"
#include "ui/dialogs/parameters_dialog.h"
#include "ui/dialogs/stomata_dialog.h"
#include "ui/window/main_window.h"

namespace ombrisk {

namespace {

const QString kErrorCaption = QStringLiteral("Error");

}  // namespace

void run_dimension_command(MainWindow& window) {
  ModelState& model = window.model();
  {
    DimensionDialog dialog(model, &window);
    dialog.exec();
  }
  if (model.dialog_accepted != 1) return;
  if (dimension_side(model.dimension_choice) == 0) return;

  // The rebuild releases the grids: no worker step may run beside it. The
  // menu keeps the command out of full-speed runs; this makes sure of it.
  window.stop_full_speed_and_wait();
  const ResizeOutcome outcome = resize_to_dimension(model, window.random());
  if (const char* text = placement_text(outcome.placement.status)) {
    window.show_message(QString::fromUtf8(text), kErrorCaption, QMessageBox::NoIcon, nullptr);
  }
  window.request_repaint(true);
}

void run_display_command(MainWindow& window) {
  ModelState& model = window.model();
  const unsigned int before = model.display.timer_interval_ms;
  {
    DisplayDialog dialog(model, &window.model_mutex(), &window);
    dialog.exec();
  }
  // An unchanged interval leaves the timer on its schedule.
  if (model.display.timer_interval_ms != before) {
    window.set_step_timer_interval(model.display.timer_interval_ms);
  }
  window.request_repaint(false);
}

void run_parameters_command(MainWindow& window) {
  {
    ParametersDialog dialog(window.model(), &window);
    dialog.exec();
  }
  window.apply_title_rule();
}

void run_stomata_command(MainWindow& window) {
  ModelState& model = window.model();
  {
    StomataDialog dialog(
        model, window.random(),
        [&window](const QString& text, const QString& caption) {
          window.show_message(text, caption, QMessageBox::NoIcon, nullptr);
        },
        &window);
    dialog.exec();
  }
  if (model.dialog_accepted == 1) {
    restart_lattice(model);
  }
  window.request_repaint(false);
}

}  // namespace ombrisk
