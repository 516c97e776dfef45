#include "ui/window/settings_store.h"

namespace ombrisk {

std::unique_ptr<QSettings> open_settings() {
  return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                     QStringLiteral("Ombrisk"), QStringLiteral("Ombrisk"));
}

bool settings_readable(const QSettings& settings) {
  return settings.status() == QSettings::NoError;
}

}  // namespace ombrisk
