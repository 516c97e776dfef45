#include "ui/dialogs/parameters_dialog.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

#include "datafile/c_text.h"
#include "ui/dialogs/dialog_fields.h"
#include "ui/dialogs/dialog_layout.h"

namespace ombrisk {

ParametersDialog::ParametersDialog(ModelState& model, QWidget* parent)
    : QDialog(parent), model_(model) {
  const DialogUnits du(font());
  frame_dialog(this, QStringLiteral("Parameters"), du, 219, 183);

  // In the order of the template, which is the tab order.
  QPushButton* ok = add_ok_button(this, du.rect(53, 152, 50, 14));
  QPushButton* cancel = add_cancel_button(this, du.rect(116, 152, 50, 14));
  file_name_ = add_edit(this, kFileName, du.rect(14, 120, 191, 14),
                        static_cast<int>(kMaxDataFileNameLength));
  jmax_ = add_edit(this, kJmax, du.rect(101, 21, 40, 14));
  kepi_ = add_edit(this, kKepi, du.rect(27, 21, 40, 14));
  kin_ = add_edit(this, kKin, du.rect(27, 53, 40, 14));
  add_label(this, QStringLiteral("File name"), du.rect(91, 136, 31, 8), Qt::AlignLeft);
  add_label(this, QStringLiteral("Jmax"), du.rect(101, 35, 40, 8), Qt::AlignHCenter);
  add_label(this, QStringLiteral("kepi"), du.rect(27, 35, 40, 8), Qt::AlignHCenter);
  add_label(this, QStringLiteral("kin"), du.rect(27, 66, 40, 8), Qt::AlignHCenter);
  jo_ = add_edit(this, kJo, du.rect(151, 21, 40, 14));
  add_label(this, QStringLiteral("Jo"), du.rect(151, 36, 40, 8), Qt::AlignHCenter);
  a_ = add_edit(this, kA, du.rect(101, 53, 40, 14));
  add_label(this, QStringLiteral("a"), du.rect(101, 66, 40, 8), Qt::AlignHCenter);
  add_group_box(this, QStringLiteral("Stomatal control"), du.rect(88, 8, 115, 72));
  add_group_box(this, QStringLiteral("Conductances"), du.rect(15, 8, 64, 71));
  pminj_ = add_edit(this, kPminj, du.rect(151, 53, 40, 14));
  add_label(this, QStringLiteral("pminj"), du.rect(161, 66, 17, 8), Qt::AlignLeft);
  add_group_box(this, QStringLiteral("Leaf p value"), du.rect(17, 84, 186, 29));
  leaf_p_ = add_edit(this, kLeafP, du.rect(45, 96, 51, 12));
  offset_from_mean_ = add_check_box(this, kOffsetFromMean, QStringLiteral("Offset from p mean"),
                                    du.rect(115, 97, 75, 10));
  chain_tab_order({ok, cancel, file_name_, jmax_, kepi_, kin_, jo_, a_, pminj_, leaf_p_,
                   offset_from_mean_});

  const ModelParameters& p = model_.params;
  show_text(kepi_, c_format("%6.4f", p.kepi));
  show_text(kin_, c_format("%7.5f", p.kin));
  show_text(jmax_, c_format("%5.2f", p.Jmax));
  show_text(jo_, c_format("%5.2f", p.Jo));
  show_text(a_, c_format("%5.3f", p.a));
  show_text(pminj_, c_format("%5.2f", p.pminj));
  show_text(leaf_p_, c_format("%5.2f", p.leaf_p));
  show_text(file_name_, model_.data_file_name);
  show_flag(offset_from_mean_, p.offset_from_mean);
  ok->setFocus();
}

void ParametersDialog::accept() {
  ModelParameters& p = model_.params;
  read_double(kepi_, p.kepi);
  read_double(kin_, p.kin);
  read_double(jmax_, p.Jmax);
  read_double(jo_, p.Jo);
  read_double(a_, p.a);
  read_double(pminj_, p.pminj);
  read_double(leaf_p_, p.leaf_p);
  read_text(file_name_, model_.data_file_name);
  p.offset_from_mean = checked_flag(offset_from_mean_);
  QDialog::accept();
}

}  // namespace ombrisk
