// The "Dimension" dialog: five square lattice sizes as radio buttons. OK sets
// dialog_accepted to 1 and dimension_choice to the ticked size; Cancel sets
// dialog_accepted to 0 and changes nothing else. The command that opens it
// rebuilds the lattice.
#pragma once

#include <QDialog>

#include "model/model_state.h"

class QRadioButton;

namespace ombrisk {

class DimensionDialog : public QDialog {
  Q_OBJECT

 public:
  explicit DimensionDialog(ModelState& model, QWidget* parent = nullptr);

  // Control ids; the radio buttons' ids are the dimension choices
  // (kDimension50 ... kDimension800).
  static constexpr int kOk = 1;
  static constexpr int kCancel = 2;

  // The choice the dialog would report on OK.
  int pending_choice() const { return pending_choice_; }

  void accept() override;  // OK
  void reject() override;  // Cancel, Esc and the close box

 private:
  ModelState& model_;
  int pending_choice_;
};

}  // namespace ombrisk
