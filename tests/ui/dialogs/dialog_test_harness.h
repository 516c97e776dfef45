// Shared by the dialog tests: a main window whose messages are collected, a
// command run with a script acting on the modal dialog it opens, and the
// controls found by their ids.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>

#include "ui/window/main_window.h"

namespace dialog_test {

template <typename W>
W* control(QDialog& d, int id) {
  W* w = d.findChild<W*>(QStringLiteral("control_%1").arg(id));
  if (!w) qWarning("no control %d", id);
  return w;
}

inline QLineEdit* field(QDialog& d, int id) { return control<QLineEdit>(d, id); }
inline QString text(QDialog& d, int id) { return field(d, id)->text(); }
inline void press(QDialog& d, int id) { control<QAbstractButton>(d, id)->click(); }

// Types into a field as the user does, replacing what it held.
inline void type(QDialog& d, int id, const QString& typed) {
  QLineEdit* edit = field(d, id);
  edit->setFocus();
  edit->selectAll();
  QTest::keyClick(edit, Qt::Key_Delete);
  QTest::keyClicks(edit, typed);
}

// Ids of the controls in tab order, from the first control on.
inline QList<int> tab_chain(QDialog& d, int first_id) {
  QList<int> ids;
  QWidget* first = control<QWidget>(d, first_id);
  QWidget* c = first;
  do {
    if (c->objectName().startsWith(QStringLiteral("control_")) &&
        c->focusPolicy() & Qt::TabFocus) {
      ids << c->objectName().mid(8).toInt();
    }
    c = c->nextInFocusChain();
  } while (c && c != first && ids.size() < 50);
  return ids;
}

struct Harness {
  std::unique_ptr<ombrisk::MainWindow> window;
  QStringList messages;  // "caption: text", each shown without an owner

  void open() {
    messages.clear();
    window = std::make_unique<ombrisk::MainWindow>();
    window->set_message_sink([this](const QString& text, const QString& caption,
                                    QMessageBox::Icon, QWidget* owner) {
      messages << caption + ": " + text + (owner ? " (owned)" : "");
    });
  }
  void close() { window.reset(); }
  ombrisk::ModelState& model() { return window->model(); }

  // Runs command `id` with `script` acting on the dialog it opens; a dialog
  // the script leaves open is cancelled. False when no dialog opened.
  bool run(int id, const std::function<void(QDialog&)>& script) {
    bool opened = false;
    QTimer::singleShot(0, [&] {
      auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      if (!d) return;
      opened = true;
      script(*d);
      if (d->isVisible()) d->reject();
    });
    window->handle_command(id);
    return opened;
  }
};

}  // namespace dialog_test
