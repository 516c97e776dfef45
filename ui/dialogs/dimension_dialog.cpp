#include "ui/dialogs/dimension_dialog.h"

#include <QPushButton>
#include <QRadioButton>

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
  QRadioButton* buttons[std::size(kSizeButtons)] = {};
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
    buttons[i] = radio;
  }
  add_group_box(this, QString(), du.rect(40, 7, 68, 90));

  chain_tab_order({ok, cancel, buttons[0], buttons[1], buttons[2], buttons[3], buttons[4]});
  ok->setFocus();
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
