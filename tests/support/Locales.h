// Locales the slot texts are checked in.
#pragma once

#include <QLocale>

// Pins the locale the tool formats numbers with, for the life of a test.
struct TScopedLocale {
  explicit TScopedLocale(const QLocale& l) { QLocale::setDefault(l); }
  ~TScopedLocale() { QLocale::setDefault(saved); }
  QLocale saved = QLocale();
};

inline const QLocale kGerman(QLocale::German, QLocale::Germany);
inline const QLocale kCommaGrouping(QLocale::English, QLocale::UnitedStates);
