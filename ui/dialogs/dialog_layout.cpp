#include "ui/dialogs/dialog_layout.h"

#include <QCheckBox>
#include <QDialog>
#include <QFontMetricsF>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <cmath>

namespace ombrisk {

namespace {

// The letters whose mean width makes the horizontal base unit.
constexpr const char* kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

// Widens `place` to `needed` pixels, keeping its centre or its left edge.
QRect widened(QRect place, int needed, bool centred) {
  if (needed <= place.width()) return place;
  const int extra = needed - place.width();
  if (centred) place.moveLeft(place.left() - extra / 2);
  place.setWidth(needed);
  return place;
}

}  // namespace

DialogUnits::DialogUnits(const QFont& font) {
  const QFontMetricsF metrics(font);
  base_width_ = metrics.horizontalAdvance(QString::fromLatin1(kAlphabet)) / 52.0;
  base_height_ = metrics.height();
}

int DialogUnits::across(int units) const {
  return static_cast<int>(std::lround(units * base_width_ / 4.0));
}

int DialogUnits::down(int units) const {
  return static_cast<int>(std::lround(units * base_height_ / 8.0));
}

QRect DialogUnits::rect(int x, int y, int width, int height) const {
  return QRect(across(x), down(y), across(width), down(height));
}

void name_control(QWidget* control, int id) {
  control->setObjectName(QStringLiteral("control_%1").arg(id));
}

void chain_tab_order(std::initializer_list<QWidget*> order) {
  QWidget* previous = nullptr;
  for (QWidget* w : order) {
    if (previous) QWidget::setTabOrder(previous, w);
    previous = w;
  }
}

void frame_dialog(QDialog* dialog, const QString& caption, const DialogUnits& du, int width,
                  int height) {
  dialog->setWindowTitle(caption);
  dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  dialog->setModal(true);
  dialog->setFixedSize(du.across(width), du.down(height));
}

QPushButton* add_ok_button(QDialog* dialog, QRect place) {
  auto* ok = new QPushButton(QStringLiteral("OK"), dialog);
  ok->setGeometry(place);
  ok->setDefault(true);
  name_control(ok, 1);
  QObject::connect(ok, &QPushButton::clicked, dialog, &QDialog::accept);
  return ok;
}

QPushButton* add_cancel_button(QDialog* dialog, QRect place) {
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), dialog);
  cancel->setGeometry(place);
  name_control(cancel, 2);
  QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
  return cancel;
}

QLineEdit* add_edit(QWidget* parent, int id, QRect place, int capacity) {
  auto* edit = new QLineEdit(parent);
  edit->setGeometry(place);
  edit->setAlignment(Qt::AlignCenter);
  edit->setMaxLength(capacity);
  name_control(edit, id);
  return edit;
}

QLabel* add_label(QWidget* parent, const QString& text, QRect place, Qt::Alignment horizontal) {
  auto* label = new QLabel(text, parent);
  label->setAlignment(horizontal | Qt::AlignTop);
  label->setGeometry(
      widened(place, label->sizeHint().width(), horizontal.testFlag(Qt::AlignHCenter)));
  return label;
}

QCheckBox* add_check_box(QWidget* parent, int id, const QString& text, QRect place) {
  auto* box = new QCheckBox(text, parent);
  box->setGeometry(widened(place, box->sizeHint().width(), false));
  name_control(box, id);
  return box;
}

QGroupBox* add_group_box(QWidget* parent, const QString& title, QRect place) {
  auto* group = new QGroupBox(title, parent);
  group->setGeometry(place);
  group->setFocusPolicy(Qt::NoFocus);
  group->lower();
  return group;
}

}  // namespace ombrisk
