#include "ui/dialogs/display_dialog.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

#include "datafile/c_text.h"
#include "ui/dialogs/dialog_fields.h"
#include "ui/dialogs/dialog_layout.h"

namespace ombrisk {

DisplayDialog::DisplayDialog(ModelState& model, std::timed_mutex* model_lock, QWidget* parent)
    : QDialog(parent), model_(model), model_lock_(model_lock) {
  const DialogUnits du(font());
  frame_dialog(this, QStringLiteral("Display"), du, 165, 150);

  // In the order of the template, which is the tab order.
  QPushButton* ok = add_ok_button(this, du.rect(26, 119, 50, 14));
  QPushButton* cancel = add_cancel_button(this, du.rect(90, 119, 50, 14));
  min_p_ = add_edit(this, kMinP, du.rect(25, 52, 40, 14));
  max_p_ = add_edit(this, kMaxP, du.rect(100, 52, 40, 14));
  auto_p_ = add_check_box(this, kAutoP, QStringLiteral("Auto"), du.rect(69, 56, 31, 10));
  add_label(this, QStringLiteral("Min P"), du.rect(25, 68, 40, 8), Qt::AlignHCenter);
  add_label(this, QStringLiteral("Max P"), du.rect(100, 68, 40, 8), Qt::AlignHCenter);
  time_ = add_edit(this, kTime, du.rect(25, 18, 40, 14));
  add_label(this, QStringLiteral("Time (ms)"), du.rect(30, 33, 31, 8), Qt::AlignLeft);
  display_interval_ = add_edit(this, kDisplayInterval, du.rect(100, 18, 40, 14));
  add_label(this, QStringLiteral("Display int"), du.rect(100, 33, 40, 8), Qt::AlignHCenter);
  min_j_ = add_edit(this, kMinJ, du.rect(25, 85, 40, 14));
  max_j_ = add_edit(this, kMaxJ, du.rect(100, 85, 40, 14));
  add_label(this, QStringLiteral("Min J"), du.rect(37, 101, 18, 8), Qt::AlignLeft);
  add_label(this, QStringLiteral("Max J"), du.rect(110, 101, 20, 8), Qt::AlignLeft);
  auto_j_ = add_check_box(this, kAutoJ, QStringLiteral("Auto"), du.rect(69, 88, 31, 10));
  chain_tab_order({ok, cancel, min_p_, max_p_, auto_p_, time_, display_interval_, min_j_, max_j_,
                   auto_j_});

  const DisplaySettings d = current_settings();
  show_text(min_p_, c_format("%4.1f", d.p_display_min));
  show_text(max_p_, c_format("%4.1f", d.p_display_max));
  show_text(min_j_, c_format("%4.3f", d.j_display_min));
  show_text(max_j_, c_format("%4.3f", d.j_display_max));
  show_text(time_, c_format("%u", d.timer_interval_ms));
  show_text(display_interval_, c_format("%i", d.display_interval));
  show_flag(auto_p_, d.auto_p_range);
  show_flag(auto_j_, d.auto_j_range);
  ok->setFocus();
}

DisplaySettings DisplayDialog::current_settings() const {
  // A full-speed run updates the bounds with each step.
  if (!model_lock_) return model_.display;
  std::lock_guard<std::timed_mutex> hold(*model_lock_);
  return model_.display;
}

void DisplayDialog::write_back() {
  DisplaySettings& d = model_.display;
  read_single(min_p_, d.p_display_min);
  read_single(max_p_, d.p_display_max);
  read_single(min_j_, d.j_display_min);
  read_single(max_j_, d.j_display_max);
  read_unsigned(time_, d.timer_interval_ms);
  read_int(display_interval_, d.display_interval);
  d.auto_p_range = checked_flag(auto_p_);
  d.auto_j_range = checked_flag(auto_j_);
}

void DisplayDialog::accept() {
  if (model_lock_) {
    // The worker holds the lock for one step at a time.
    std::lock_guard<std::timed_mutex> hold(*model_lock_);
    write_back();
  } else {
    write_back();
  }
  QDialog::accept();
}

}  // namespace ombrisk
