// The Stomata dialog: the stoma count, border and spacing, the column and row
// of every stoma as two lists, "Randomize", "Apply", OK and Cancel. It edits
// the model's stoma table, border and spacing in place and restores them on
// Cancel from copies taken when it opened.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <vector>

#include "model/model_state.h"
#include "model/placement.h"
#include "model/random.h"

class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace ombrisk {

class StomataDialog : public QDialog {
  Q_OBJECT

 public:
  // Shows an error message (caption, text) and returns when it is closed.
  using MessageFn = std::function<void(const QString& text, const QString& caption)>;

  // Fills the fields from the model and takes the copies that Cancel restores.
  StomataDialog(ModelState& model, Random& random, MessageFn message, QWidget* parent = nullptr);

  // Control ids, also the object names' numbers ("control_1008" ...).
  static constexpr int kOk = 1;
  static constexpr int kCancel = 2;
  static constexpr int kRowsList = 1008;
  static constexpr int kColumnsList = 1009;
  static constexpr int kRandomize = 1010;
  static constexpr int kSpacing = 1014;
  static constexpr int kBorder = 1015;
  static constexpr int kCount = 1007;
  static constexpr int kApply = 1016;

  // How many illegal positions get a message of their own before one message
  // sums up the rest.
  static constexpr int kIllegalMessagesShown = 3;

  // Cancel, the Esc key and the close box.
  void reject() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void build_controls();
  void fill_fields();
  void fill_stoma_lists();
  void take_copies();

  void ok_pressed();
  void randomize_pressed();
  void apply_pressed();

  // The border in its field, or nothing after telling the user it does not
  // fit the lattice.
  bool read_border(int& border);
  // The spacing in its field; the model's own value while the field is
  // untouched, so that OK does not round it to the shown precision.
  double read_spacing() const;
  // Places the present table at random and reports a failure.
  void place_at_random();
  void show_placement(const PlacementOutcome& outcome);
  void error(const QString& text);

  ModelState& model_;
  Random& random_;
  MessageFn message_;

  QPushButton* ok_ = nullptr;
  QPushButton* cancel_ = nullptr;
  QPlainTextEdit* rows_list_ = nullptr;
  QPlainTextEdit* columns_list_ = nullptr;
  QPushButton* randomize_ = nullptr;
  QLineEdit* spacing_ = nullptr;
  QLineEdit* border_ = nullptr;
  QLineEdit* count_ = nullptr;
  QPushButton* apply_ = nullptr;
};

}  // namespace ombrisk
