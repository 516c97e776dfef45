#include "ui/dialogs/stomata_dialog.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextOption>
#include <cmath>
#include <string>

#include "datafile/c_text.h"
#include "model/commands.h"
#include "ui/dialogs/stoma_lists.h"

namespace ombrisk {

namespace {

const QString kErrorCaption = QStringLiteral("Error");

// Fields hold at most this many characters when they are read.
constexpr std::size_t kFieldReadLimit = 30;

// Dialog units at the dialog's 8-point font: about 1.5 pixels across and
// 1.625 down.
QRect dialog_units(int x, int y, int width, int height) {
  auto across = [](int v) { return static_cast<int>(std::lround(v * 1.5)); };
  auto down = [](int v) { return static_cast<int>(std::lround(v * 1.625)); };
  return QRect(across(x), down(y), across(width), down(height));
}

void name_control(QWidget* w, int id) { w->setObjectName(QStringLiteral("control_%1").arg(id)); }

std::string field_text(const QLineEdit* edit) {
  return std::string(first_chars(edit->text().toStdString(), kFieldReadLimit));
}

}  // namespace

StomataDialog::StomataDialog(ModelState& model, Random& random, MessageFn message,
                             QWidget* parent)
    : QDialog(parent), model_(model), random_(random), message_(std::move(message)) {
  setWindowTitle(QStringLiteral("Stomata"));
  setModal(true);
  build_controls();
  fill_fields();
  fill_stoma_lists();
  take_copies();
  model_.saved_border = model_.border;
  model_.saved_spacing = model_.spacing;
  ok_->setFocus();
}

void StomataDialog::build_controls() {
  const QRect frame = dialog_units(0, 0, 232, 167);
  setFixedSize(frame.size());

  // Created in the order of the tab chain.
  ok_ = new QPushButton(QStringLiteral("OK"), this);
  ok_->setGeometry(dialog_units(56, 138, 50, 14));
  ok_->setDefault(true);
  name_control(ok_, kOk);

  cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
  cancel_->setGeometry(dialog_units(125, 138, 50, 14));
  name_control(cancel_, kCancel);

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
  rows_list_ = make_list(kRowsList, dialog_units(19, 47, 87, 32));
  columns_list_ = make_list(kColumnsList, dialog_units(126, 47, 87, 32));

  auto make_label = [this](const QString& text, QRect place, Qt::Alignment align) {
    auto* label = new QLabel(text, this);
    label->setAlignment(align | Qt::AlignTop);
    // The template's boxes fit its small font; grow a label that the present
    // font would clip, keeping its left edge or its centre.
    const QSize hint = label->sizeHint();
    if (hint.height() > place.height()) place.setHeight(hint.height());
    if (const int extra = hint.width() - place.width(); extra > 0) {
      if (align & Qt::AlignHCenter) {
        place.adjust(-extra / 2, 0, extra - extra / 2, 0);
      } else {
        place.setWidth(hint.width());
      }
    }
    label->setGeometry(place);
    return label;
  };
  make_label(QStringLiteral("Stomata - rows"), dialog_units(37, 80, 48, 8), Qt::AlignLeft);
  make_label(QStringLiteral("Stomata - columns"), dialog_units(137, 80, 59, 8), Qt::AlignLeft);

  randomize_ = new QPushButton(QStringLiteral("Randomize"), this);
  randomize_->setGeometry(dialog_units(90, 110, 50, 14));
  randomize_->setAutoDefault(false);
  name_control(randomize_, kRandomize);

  auto make_field = [this](int id, QRect place) {
    auto* field = new QLineEdit(this);
    field->setGeometry(place);
    field->setAlignment(Qt::AlignCenter);
    name_control(field, id);
    return field;
  };
  spacing_ = make_field(kSpacing, dialog_units(30, 95, 40, 14));
  border_ = make_field(kBorder, dialog_units(158, 97, 40, 14));
  make_label(QStringLiteral("border"), dialog_units(158, 113, 40, 8), Qt::AlignHCenter);
  make_label(QStringLiteral("spacing"), dialog_units(29, 111, 40, 8), Qt::AlignHCenter);
  count_ = make_field(kCount, dialog_units(58, 16, 40, 14));
  make_label(QStringLiteral("Stomata"), dialog_units(58, 30, 40, 8), Qt::AlignHCenter);

  apply_ = new QPushButton(QStringLiteral("Apply"), this);
  apply_->setGeometry(dialog_units(136, 16, 40, 14));
  apply_->setAutoDefault(false);
  name_control(apply_, kApply);
  make_label(QStringLiteral("-->"), dialog_units(111, 20, 9, 8), Qt::AlignLeft);

  // Only the default button answers the Enter key.
  ok_->setAutoDefault(false);
  cancel_->setAutoDefault(false);

  QWidget* chain[] = {ok_, cancel_, rows_list_, columns_list_, randomize_,
                      spacing_, border_, count_, apply_};
  for (std::size_t i = 1; i < std::size(chain); ++i) setTabOrder(chain[i - 1], chain[i]);

  connect(ok_, &QPushButton::clicked, this, &StomataDialog::ok_pressed);
  connect(cancel_, &QPushButton::clicked, this, &StomataDialog::reject);
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

void StomataDialog::ok_pressed() {
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
  accept();
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
