// The About box: the program's name, version and licence, what the model
// is, and the Qt it runs on.
#pragma once

#include <QString>

class QMessageBox;
class QWidget;

namespace ombrisk {

// The box's text (rich text).
QString about_text();

// The box, not yet shown; deleted when closed.
QMessageBox* make_about_box(QWidget* owner);

// Shows the box modally.
void show_about_box(QWidget* owner);

}  // namespace ombrisk
