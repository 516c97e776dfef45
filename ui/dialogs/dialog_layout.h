// Building the small settings dialogs from their templates: rectangles in
// dialog units turned into pixels, and the controls the templates use.
#pragma once

#include <QRect>
#include <QString>
#include <initializer_list>

class QCheckBox;
class QDialog;
class QFont;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace ombrisk {

// Dialog units as the templates use them: a quarter of the font's average
// letter width across and an eighth of its line height down. For an 8-point
// font at 96 dpi that is about 1.5 px across and 1.625 px down; a larger
// font makes the whole dialog larger, so its texts still fit.
class DialogUnits {
 public:
  explicit DialogUnits(const QFont& font);

  int across(int units) const;
  int down(int units) const;
  QRect rect(int x, int y, int width, int height) const;

 private:
  double base_width_;
  double base_height_;
};

// Object name "control_<id>", by which tests and tools find a control.
void name_control(QWidget* control, int id);

// Sets the tab chain in the given order: the order of the template.
void chain_tab_order(std::initializer_list<QWidget*> order);

// A dialog of the given template size with a caption and a close box, not
// resizable.
void frame_dialog(QDialog* dialog, const QString& caption, const DialogUnits& du, int width,
                  int height);

// OK (the default button, accepts) and Cancel (rejects).
QPushButton* add_ok_button(QDialog* dialog, QRect place);
QPushButton* add_cancel_button(QDialog* dialog, QRect place);

// An edit field with centred text. Number fields hold any formatted number
// whole (a %f of 1e300 has more than 300 digits).
inline constexpr int kNumberFieldCapacity = 1024;
QLineEdit* add_edit(QWidget* parent, int id, QRect place, int capacity = kNumberFieldCapacity);

// A label, centred or left-aligned at the top of its place. A text wider
// than its place (a wider font than the template's) grows it, around its
// centre or to the right, so nothing is cut off.
QLabel* add_label(QWidget* parent, const QString& text, QRect place, Qt::Alignment horizontal);

// A check box; grows to the right like a label when its text needs it.
QCheckBox* add_check_box(QWidget* parent, int id, const QString& text, QRect place);

// A group box frame, kept behind its sibling controls so that it never takes
// their clicks.
QGroupBox* add_group_box(QWidget* parent, const QString& title, QRect place);

}  // namespace ombrisk
