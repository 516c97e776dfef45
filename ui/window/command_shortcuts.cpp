#include "ui/window/command_shortcuts.h"

#include "ui/resources/command_ids.h"

namespace ombrisk {

namespace {

// Some platforms have no standard binding for a key (Windows has none for
// Quit or Save As): the common one then, so every platform has a key.
QKeySequence standard_or(QKeySequence::StandardKey key, const QKeySequence& fallback) {
  const QKeySequence standard(key);
  return standard.isEmpty() ? fallback : standard;
}

}  // namespace

QKeySequence command_shortcut(int id) {
  // The run keys follow the debuggers' convention, which users of a stepping
  // program know: F5 runs, Shift stops, Ctrl goes at full speed, F10 steps.
  // Restart throws the run away, so it never sits on a bare key.
  switch (id) {
    case kCmdSave:
      return standard_or(QKeySequence::Save, QKeySequence(Qt::CTRL | Qt::Key_S));
    case kCmdLoadParams:
      return standard_or(QKeySequence::Open, QKeySequence(Qt::CTRL | Qt::Key_O));
    case kCmdExit:
      return standard_or(QKeySequence::Quit, QKeySequence(Qt::CTRL | Qt::Key_Q));
    case kCmdStart:
      return QKeySequence(Qt::Key_F5);
    case kCmdStop:
      return QKeySequence(Qt::SHIFT | Qt::Key_F5);
    case kCmdStartFullSpeed:
      return QKeySequence(Qt::CTRL | Qt::Key_F5);
    case kCmdStopFullSpeed:
      return QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F5);
    case kCmdStep:
      return QKeySequence(Qt::Key_F10);
    case kCmdRestart:
      return QKeySequence(Qt::CTRL | Qt::Key_R);
    default:
      return {};
  }
}

QKeySequence save_as_shortcut() {
  return standard_or(QKeySequence::SaveAs, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
}

}  // namespace ombrisk
