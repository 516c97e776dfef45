// The open-file dialog of "Load params".
#pragma once

#include <QString>
#include <optional>

class QWidget;

namespace ombrisk {

// Asks for a data file in the process's current directory ("Open a file",
// "Data Files (*.dat)"); a name that does not exist is accepted as typed.
// Returns the full path, or nothing when the dialog was cancelled.
std::optional<QString> choose_data_file(QWidget* owner);

}  // namespace ombrisk
