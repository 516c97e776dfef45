// The "Parameters" dialog: the seven model parameters, the "Offset from p
// mean" flag and the data file name. OK writes the fields back (each only
// when its text was edited); Cancel changes nothing.
#pragma once

#include <QDialog>

#include "model/model_state.h"

class QCheckBox;
class QLineEdit;

namespace ombrisk {

class ParametersDialog : public QDialog {
  Q_OBJECT

 public:
  explicit ParametersDialog(ModelState& model, QWidget* parent = nullptr);

  static constexpr int kOk = 1;
  static constexpr int kCancel = 2;
  static constexpr int kFileName = 1001;
  static constexpr int kJmax = 1002;
  static constexpr int kKepi = 1003;
  static constexpr int kKin = 1004;
  static constexpr int kJo = 1005;
  static constexpr int kA = 1006;
  static constexpr int kPminj = 1023;
  static constexpr int kLeafP = 1027;
  static constexpr int kOffsetFromMean = 1028;

  void accept() override;

 private:
  ModelState& model_;
  QLineEdit* file_name_ = nullptr;
  QLineEdit* jmax_ = nullptr;
  QLineEdit* kepi_ = nullptr;
  QLineEdit* kin_ = nullptr;
  QLineEdit* jo_ = nullptr;
  QLineEdit* a_ = nullptr;
  QLineEdit* pminj_ = nullptr;
  QLineEdit* leaf_p_ = nullptr;
  QCheckBox* offset_from_mean_ = nullptr;
};

}  // namespace ombrisk
