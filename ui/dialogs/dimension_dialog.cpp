// The Dimension dialog: its sizes, their one stop in the tab chain, and what
// OK and Cancel leave in the model.
#include "ui/dialogs/dimension_dialog.h"

#include <QPushButton>
#include <QRadioButton>
#include <algorithm>

#include "ui/dialogs/dialog_layout.h"

namespace ombrisk {

namespace {

struct SizeButton {
  int id;
  const char* text;
  int x, y, width, height;
};

constexpr SizeButton kSizeButtons[] = {
    {kDimension50, "  50 x 50", 51, 18, 43, 10},   {kDimension100, "100 x 100", 51, 34, 47, 10},
    {kDimension200, "200 x 200", 51, 50, 47, 10},  {kDimension400, "400 x 400", 51, 66, 47, 10},
    {kDimension800, "800 x 800", 51, 82, 47, 10},
};

}  // namespace

DimensionDialog::DimensionDialog(ModelState& model, QWidget* parent)
    : QDialog(parent), model_(model), pending_choice_(model.dimension_choice) {
  const DialogUnits du(font());
  frame_dialog(this, QStringLiteral("Dimension"), du, 150, 134);

  QPushButton* ok = add_ok_button(this, du.rect(17, 103, 50, 14));
  QPushButton* cancel = add_cancel_button(this, du.rect(80, 103, 50, 14));

  // Siblings with one parent: Qt keeps exactly one of them ticked.
  static_assert(std::size(kSizeButtons) == std::tuple_size_v<decltype(size_buttons_)>);
  for (std::size_t i = 0; i < std::size(kSizeButtons); ++i) {
    const SizeButton& b = kSizeButtons[i];
    auto* radio = new QRadioButton(QString::fromLatin1(b.text), this);
    QRect place = du.rect(b.x, b.y, b.width, b.height);
    if (radio->sizeHint().width() > place.width()) place.setWidth(radio->sizeHint().width());
    radio->setGeometry(place);
    radio->setChecked(b.id == pending_choice_);
    name_control(radio, b.id);
    const int id = b.id;
    connect(radio, &QRadioButton::toggled, this, [this, id](bool on) {
      if (on) pending_choice_ = id;
    });
    size_buttons_[i] = radio;
  }
  add_group_box(this, QString(), du.rect(40, 7, 68, 90));

  chain_tab_order({ok, cancel, size_buttons_[0], size_buttons_[1], size_buttons_[2],
                   size_buttons_[3], size_buttons_[4]});
  ok->setFocus();
}

bool DimensionDialog::is_size_button(const QWidget* widget) const {
  return widget && std::find(size_buttons_.begin(), size_buttons_.end(), widget) !=
                       size_buttons_.end();
}

bool DimensionDialog::focusNextPrevChild(bool next) {
  const bool from_sizes = is_size_button(focusWidget());
  if (!QDialog::focusNextPrevChild(next)) return false;
  if (from_sizes) {
    // On past the other sizes; at most once per size, as the chain is a loop.
    for (std::size_t i = 0; i < size_buttons_.size() && is_size_button(focusWidget()); ++i) {
      if (!QDialog::focusNextPrevChild(next)) return false;
    }
    return true;
  }
  if (is_size_button(focusWidget())) {
    for (QRadioButton* button : size_buttons_) {
      if (button->isChecked()) button->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    }
  }
  return true;
}

void DimensionDialog::accept() {
  model_.dialog_accepted = 1;
  model_.dimension_choice = pending_choice_;
  QDialog::accept();
}

void DimensionDialog::reject() {
  model_.dialog_accepted = 0;
  QDialog::reject();
}

}  // namespace ombrisk
