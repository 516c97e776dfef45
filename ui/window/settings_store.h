// The one store of what the window remembers between runs (the recent data
// files and its place on the screen): an INI file in the user's settings
// folder on every platform, so that tests can point it elsewhere with
// QSettings::setPath.
#pragma once

#include <QSettings>
#include <memory>

namespace ombrisk {

std::unique_ptr<QSettings> open_settings();

// False when the store could be found but not read or parsed: its values are
// then not to be trusted, and the program goes on without them.
bool settings_readable(const QSettings& settings);

}  // namespace ombrisk
