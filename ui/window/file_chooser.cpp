#include "ui/window/file_chooser.h"

#include <QDir>
#include <QFileDialog>
#include <QStringList>

namespace ombrisk {

std::optional<QString> choose_data_file(QWidget* owner) {
  QFileDialog dialog(owner, QStringLiteral("Open a file"), QDir::currentPath(),
                     QStringLiteral("Data Files (*.dat)"));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  // AnyFile: a typed name that does not exist is returned, and the load then
  // says it cannot find it.
  dialog.setFileMode(QFileDialog::AnyFile);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty() || files.front().isEmpty()) return std::nullopt;
  return QDir::toNativeSeparators(QFileInfo(files.front()).absoluteFilePath());
}

}  // namespace ombrisk
