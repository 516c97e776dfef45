#include "ui/window/about_box.h"

#include <QIcon>
#include <QMessageBox>
#include <QtGlobal>

#include "model/version.h"

namespace ombrisk {

QString about_text() {
  return QStringLiteral(
             "<h3>Ombrisk %1</h3>"
             "<p>Stomata on a hexagonal lattice of leaf cells: each cell's p flows to its "
             "neighbours and relaxes toward the leaf, and every stoma draws a logistic flux "
             "from its cell.</p>"
             "<p>Copyright &copy; The Ombrisk developers.<br>"
             "Released under the MIT licence.</p>"
             "<p>Built with Qt %2, running on Qt %3.</p>")
      .arg(QString::fromLatin1(ombrisk_version()).toHtmlEscaped(),
           QStringLiteral(QT_VERSION_STR), QString::fromLatin1(qVersion()));
}

QMessageBox* make_about_box(QWidget* owner) {
  auto* box = new QMessageBox(owner);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setWindowTitle(QStringLiteral("About Ombrisk"));
  box->setTextFormat(Qt::RichText);
  box->setText(about_text());
  box->setStandardButtons(QMessageBox::Ok);
  const QIcon icon = owner ? owner->windowIcon() : QIcon();
  if (!icon.isNull()) box->setIconPixmap(icon.pixmap(64, 64));
  return box;
}

void show_about_box(QWidget* owner) { make_about_box(owner)->exec(); }

}  // namespace ombrisk
