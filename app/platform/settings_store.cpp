#include "platform/settings_store.h"

#include <QSettings>
#include <cmath>

namespace sorvan::platform {

SettingsStore::SettingsStore(const QString& organization, const QString& application)
    : organization_(organization), application_(application) {}

double SettingsStore::GetSetting(const QString& section, const QString& key,
                                 double defaultValue) const {
  QSettings s(organization_, application_);
  const QVariant v = s.value(section + QLatin1Char('/') + key);
  if (!v.isValid()) return defaultValue;
  // Stored as text; anything that does not read fully as a finite number is
  // treated as missing rather than as zero.
  bool ok = false;
  const double x = v.toString().trimmed().toDouble(&ok);
  return ok && std::isfinite(x) ? x : defaultValue;
}

void SettingsStore::SaveSetting(const QString& section, const QString& key, double value) {
  QSettings s(organization_, application_);
  s.setValue(section + QLatin1Char('/') + key, QString::number(value, 'g', 9));
  s.sync();
}

QString SettingsStore::GetText(const QString& section, const QString& key, const QString& defaultValue) const {
  QSettings s(organization_, application_);
  const QVariant v = s.value(section + QLatin1Char('/') + key);
  return v.isValid() ? v.toString() : defaultValue;
}

void SettingsStore::SaveText(const QString& section, const QString& key, const QString& value) {
  QSettings s(organization_, application_);
  s.setValue(section + QLatin1Char('/') + key, value);
  s.sync();
}

bool SettingsStore::HasSetting(const QString& section, const QString& key) const {
  QSettings s(organization_, application_);
  return s.contains(section + QLatin1Char('/') + key);
}

int TwipsToPixels(double twips, double dpi) {
  return static_cast<int>(std::lround(twips * dpi / 1440.0));
}

double PixelsToTwips(int pixels, double dpi) {
  return dpi > 0 ? std::round(pixels * 1440.0 / dpi) : 0.0;
}

}  // namespace sorvan::platform
