// The Dimension, Display and Parameters commands: each shows its dialog and
// then does what the command does around it.
#include <QMessageBox>

#include "model/placement.h"
#include "ui/dialog_commands.h"
#include "ui/dimension_dialog.h"
#include "ui/display_dialog.h"
#include "ui/main_window.h"
#include "ui/parameters_dialog.h"

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
  const int side = dimension_side(model.dimension_choice);
  if (side == 0) return;

  // The rebuild releases the grids: no worker step may run beside it. The
  // menu keeps the command out of full-speed runs; this makes sure of it.
  window.stop_full_speed_and_wait();
  free_lattice(model);
  model.rows = side;
  model.cols = side;
  model.stomata.stoma_count = 10;
  reset_lattice(model);
  allocate_stoma_table(model);
  // Stomata that cannot be placed stay on cell (0, 0), inside the lattice.
  switch (randomize_stomata(model, window.random()).status) {
    case PlacementStatus::complete:
      break;
    case PlacementStatus::out_of_attempts:
      window.show_message(QStringLiteral("Randomize Failure!!"), kErrorCaption,
                          QMessageBox::NoIcon, nullptr);
      break;
    case PlacementStatus::border_invalid:
      window.show_message(QStringLiteral("Illegal border for this lattice!!"), kErrorCaption,
                          QMessageBox::NoIcon, nullptr);
      break;
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

}  // namespace ombrisk
