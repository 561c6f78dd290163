#include "app/settings_version.h"

#include "app/settings_store.h"

namespace kelmira {

QString versionText() { return QString::asprintf("%.4f", static_cast<double>(versionNumber)); }

void reconcileSettingsVersion(SettingsStore& settings) {
  const QString defaults = QStringLiteral("DEFAULTS");
  const QString current = versionText();
  const QString stored = settings.readString(defaults, QStringLiteral("VERSION"), QStringLiteral("-1"));
  if (QString::compare(stored, current, Qt::CaseInsensitive) == 0) return;
  settings.writeString(defaults, QStringLiteral("VERSION"), current);
  settings.writeInt(defaults, QStringLiteral("LIMITED_COLOR"), 0);
  settings.writeInt(defaults, QStringLiteral("DEFAULT_MOVIE_WIDTH"), 400);
  settings.writeInt(defaults, QStringLiteral("DEFAULT_MOVIE_HEIGHT"), 180);
}

}  // namespace kelmira
