// The "Display" dialog: the stepping timer's period, how often a timer run
// repaints, and the bounds of the p grey scale and the J colour scale with
// their "Auto" flags. OK writes the fields back (each number only when its
// text was edited); Cancel changes nothing.
#pragma once

#include <QDialog>
#include <mutex>

#include "model/model_state.h"

class QCheckBox;
class QLineEdit;

namespace ombrisk {

class DisplayDialog : public QDialog {
  Q_OBJECT

 public:
  // `model_lock`, when given, is held while the fields are read at opening
  // and written on OK: a full-speed run updates and reads the bounds with
  // each step.
  DisplayDialog(ModelState& model, std::timed_mutex* model_lock, QWidget* parent = nullptr);

  static constexpr int kOk = 1;
  static constexpr int kCancel = 2;
  static constexpr int kMinP = 1011;
  static constexpr int kMaxP = 1012;
  static constexpr int kAutoP = 1013;
  static constexpr int kTime = 1000;
  static constexpr int kDisplayInterval = 1017;
  static constexpr int kMinJ = 1024;
  static constexpr int kMaxJ = 1025;
  static constexpr int kAutoJ = 1026;

  void accept() override;

 private:
  DisplaySettings current_settings() const;
  void write_back();

  ModelState& model_;
  std::timed_mutex* model_lock_;
  QLineEdit* min_p_ = nullptr;
  QLineEdit* max_p_ = nullptr;
  QCheckBox* auto_p_ = nullptr;
  QLineEdit* time_ = nullptr;
  QLineEdit* display_interval_ = nullptr;
  QLineEdit* min_j_ = nullptr;
  QLineEdit* max_j_ = nullptr;
  QCheckBox* auto_j_ = nullptr;
};

}  // namespace ombrisk
