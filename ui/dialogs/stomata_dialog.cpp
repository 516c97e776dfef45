// The Stomata dialog: its controls in dialog units, and what OK, Cancel,
// "Randomize" and "Apply" do to the model.
#include "ui/dialogs/stomata_dialog.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextOption>
#include <string>

#include "datafile/c_text.h"
#include "model/commands.h"
#include "ui/dialogs/dialog_layout.h"
#include "ui/dialogs/stoma_lists.h"

namespace ombrisk {

namespace {

const QString kErrorCaption = QStringLiteral("Error");

// Fields hold at most this many characters when they are read.
constexpr std::size_t kFieldReadLimit = 30;

std::string field_text(const QLineEdit* edit) {
  return std::string(first_chars(edit->text().toStdString(), kFieldReadLimit));
}

}  // namespace

StomataDialog::StomataDialog(ModelState& model, Random& random, MessageFn message,
                             QWidget* parent)
    : QDialog(parent), model_(model), random_(random), message_(std::move(message)) {
  build_controls();
  fill_fields();
  fill_stoma_lists();
  take_copies();
  model_.saved_border = model_.border;
  model_.saved_spacing = model_.spacing;
  ok_->setFocus();
}

void StomataDialog::build_controls() {
  const DialogUnits du(font());
  frame_dialog(this, QStringLiteral("Stomata"), du, 232, 167);

  // Created in the order of the tab chain. OK reaches accept(), which checks
  // the count and the lists before it closes the dialog.
  ok_ = add_ok_button(this, du.rect(56, 138, 50, 14));
  cancel_ = add_cancel_button(this, du.rect(125, 138, 50, 14));

  // The lists wrap their one long line at blanks and scroll only downwards.
  auto make_list = [this](int id, QRect place) {
    auto* list = new QPlainTextEdit(this);
    list->setGeometry(place);
    list->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    list->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    list->setTabChangesFocus(true);
    list->installEventFilter(this);
    name_control(list, id);
    return list;
  };
  rows_list_ = make_list(kRowsList, du.rect(19, 47, 87, 32));
  columns_list_ = make_list(kColumnsList, du.rect(126, 47, 87, 32));
  add_label(this, QStringLiteral("Stomata - rows"), du.rect(37, 80, 48, 8), Qt::AlignLeft);
  add_label(this, QStringLiteral("Stomata - columns"), du.rect(137, 80, 59, 8), Qt::AlignLeft);

  randomize_ = add_push_button(this, kRandomize, QStringLiteral("Randomize"),
                               du.rect(90, 110, 50, 14));

  spacing_ = add_edit(this, kSpacing, du.rect(30, 95, 40, 14));
  border_ = add_edit(this, kBorder, du.rect(158, 97, 40, 14));
  add_label(this, QStringLiteral("border"), du.rect(158, 113, 40, 8), Qt::AlignHCenter);
  add_label(this, QStringLiteral("spacing"), du.rect(29, 111, 40, 8), Qt::AlignHCenter);
  count_ = add_edit(this, kCount, du.rect(58, 16, 40, 14));
  add_label(this, QStringLiteral("Stomata"), du.rect(58, 30, 40, 8), Qt::AlignHCenter);

  apply_ = add_push_button(this, kApply, QStringLiteral("Apply"), du.rect(136, 16, 40, 14));
  add_label(this, QStringLiteral("-->"), du.rect(111, 20, 9, 8), Qt::AlignLeft);

  // Only the default button answers the Enter key.
  for (QPushButton* button : {ok_, cancel_, randomize_, apply_}) button->setAutoDefault(false);

  chain_tab_order({ok_, cancel_, rows_list_, columns_list_, randomize_, spacing_, border_, count_,
                   apply_});

  connect(randomize_, &QPushButton::clicked, this, &StomataDialog::randomize_pressed);
  connect(apply_, &QPushButton::clicked, this, &StomataDialog::apply_pressed);
}

void StomataDialog::fill_fields() {
  count_->setText(QString::fromStdString(c_format("%i", model_.stomata.stoma_count)));
  spacing_->setText(QString::fromStdString(c_format("%5.2f", model_.spacing)));
  border_->setText(QString::fromStdString(c_format("%i", model_.border)));
}

void StomataDialog::fill_stoma_lists() {
  const StomaTable& t = model_.stomata;
  columns_list_->setPlainText(
      QString::fromStdString(format_stoma_list(t.stoma_col, t.stoma_count)));
  rows_list_->setPlainText(QString::fromStdString(format_stoma_list(t.stoma_row, t.stoma_count)));
}

void StomataDialog::take_copies() {
  model_.stomata.backup_col = model_.stomata.stoma_col;
  model_.stomata.backup_row = model_.stomata.stoma_row;
}

void StomataDialog::error(const QString& text) {
  if (message_) message_(text, kErrorCaption);
}

bool StomataDialog::read_border(int& border) {
  border = c_atoi(field_text(border_));
  if (placement_border_fits(border, model_.rows, model_.cols)) return true;
  error(QStringLiteral("Illegal border for this lattice!!"));
  return false;
}

double StomataDialog::read_spacing() const {
  if (!spacing_->isModified()) return model_.spacing;
  return c_atof(field_text(spacing_));
}

void StomataDialog::show_placement(const PlacementOutcome& outcome) {
  if (const char* text = placement_text(outcome.status)) error(QString::fromUtf8(text));
}

void StomataDialog::place_at_random() {
  show_placement(randomize_stomata(model_, random_));
}

void StomataDialog::accept() {
  int border = 0;
  if (!read_border(border)) return;
  model_.dialog_accepted = 1;
  model_.spacing = read_spacing();
  model_.border = border;

  StomaTable& t = model_.stomata;
  const StomataRefusal refusal = check_stoma_count(model_);
  if (refusal != StomataRefusal::none) {
    error(QString::fromUtf8(refusal_text(refusal)));
    return;
  }

  // Read into copies: the window may repaint while the dialog stays open, and
  // must never see a position outside the lattice.
  std::vector<int> cols = t.stoma_col;
  std::vector<int> rows = t.stoma_row;
  const std::size_t illegal =
      read_stoma_list(columns_list_->toPlainText().toStdString(), cols, t.stoma_count,
                      model_.cols).size() +
      read_stoma_list(rows_list_->toPlainText().toStdString(), rows, t.stoma_count, model_.rows)
          .size();
  if (illegal > 0) {
    const std::size_t shown = std::min<std::size_t>(illegal, kIllegalMessagesShown);
    for (std::size_t i = 0; i < shown; ++i) error(QStringLiteral("Illegal location for stomata!!"));
    if (illegal > shown) {
      error(QStringLiteral("Illegal location for stomata!! (and %1 more)").arg(illegal - shown));
    }
    return;
  }
  t.stoma_col = std::move(cols);
  t.stoma_row = std::move(rows);
  QDialog::accept();
}

void StomataDialog::randomize_pressed() {
  int border = 0;
  if (!read_border(border)) return;
  model_.spacing = read_spacing();
  model_.border = border;
  place_at_random();
  fill_stoma_lists();
}

void StomataDialog::apply_pressed() {
  const int count = c_atoi(field_text(count_));
  // The count is judged before the border is read.
  const StomataRefusal refusal = check_new_count(model_, count);
  if (refusal != StomataRefusal::none) {
    error(QString::fromUtf8(refusal_text(refusal)));
    return;
  }
  int border = 0;
  if (!read_border(border)) return;
  model_.spacing = read_spacing();
  model_.border = border;
  show_placement(place_new_stomata(model_, random_, count).placement);
  fill_stoma_lists();
}

void StomataDialog::reject() {
  model_.dialog_accepted = 0;
  model_.stomata.stoma_col = model_.stomata.backup_col;
  model_.stomata.stoma_row = model_.stomata.backup_row;
  model_.border = model_.saved_border;
  model_.spacing = model_.saved_spacing;
  QDialog::reject();
}

bool StomataDialog::eventFilter(QObject* watched, QEvent* event) {
  // In the lists, as in the single-line fields, Enter presses the default
  // button; line breaks would add nothing to a list of numbers.
  if ((watched == rows_list_ || watched == columns_list_) && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
        key->modifiers() == Qt::NoModifier) {
      ok_->click();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace ombrisk
