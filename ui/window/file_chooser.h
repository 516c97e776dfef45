// The open-file dialog of "Load params" and the save-file dialog of
// "Save as...".
#pragma once

#include <QString>
#include <optional>

class QWidget;

namespace ombrisk {

// Asks for a data file in the process's current directory ("Open a file",
// "Data Files (*.dat)"); a name that does not exist is accepted as typed.
// Returns the full path, or nothing when the dialog was cancelled.
std::optional<QString> choose_data_file(QWidget* owner);

// Asks where to save ("Save as", "Data Files (*.dat)"), starting at
// `current` (the file Save writes now). A name without a suffix gets ".dat";
// an existing file is replaced only once the user has said so in the
// dialog. Returns the full path, or nothing when the dialog was cancelled.
std::optional<QString> choose_save_data_file(QWidget* owner, const QString& current);

}  // namespace ombrisk
