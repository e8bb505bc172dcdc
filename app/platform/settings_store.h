#pragma once
// The per-user settings store of the program (QSettings underneath). Values are
// kept as text, one section per group, and read back as single numbers; a value
// that is missing or not a number reads as the caller's default.
#include <QString>

namespace sorvan::platform {

class SettingsStore {
public:
  // `organization` and `application` name the store; the program uses its title
  // for both. Tests pass their own names to stay away from the user's settings.
  explicit SettingsStore(const QString& organization = QStringLiteral("Sorvan"),
                         const QString& application = QStringLiteral("Sorvan"));

  // The number stored under section/key, or `defaultValue` when there is none or
  // the stored text is not a number.
  double GetSetting(const QString& section, const QString& key, double defaultValue) const;

  // Stores `value` as text under section/key and writes it out at once.
  void SaveSetting(const QString& section, const QString& key, double value);

  // The text stored under section/key, or `defaultValue` when there is none.
  QString GetText(const QString& section, const QString& key, const QString& defaultValue = {}) const;

  // Stores `value` under section/key and writes it out at once.
  void SaveText(const QString& section, const QString& key, const QString& value);

  // True when something is stored under section/key.
  bool HasSetting(const QString& section, const QString& key) const;

private:
  QString organization_;
  QString application_;
};

// Twips (1/1440 inch) to device pixels at `dpi` logical dots per inch, rounded.
int TwipsToPixels(double twips, double dpi);
// Device pixels to twips at `dpi`, rounded to whole twips.
double PixelsToTwips(int pixels, double dpi);

}  // namespace sorvan::platform
