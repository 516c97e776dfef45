// The keys of the menu commands, shown beside their items.
#pragma once

#include <QKeySequence>

namespace ombrisk {

// The platform's standard key where one exists (Save, Open, Quit, Save As),
// otherwise a fixed one; an empty sequence for commands without a key.
QKeySequence command_shortcut(int id);

// The key of "Save as...", which has no command id of its own.
QKeySequence save_as_shortcut();

}  // namespace ombrisk
