#pragma once

#include <QColor>
#include <QString>

class QApplication;

// Applies the visual style stored among the program's resources. If it cannot
// be applied an error message is shown and the default look stays.
bool ApplyVisualStyle(QApplication& app, const QString& resource = QStringLiteral(":/AQUALIGHTSLATE"));

// The colour of disabled texts, captions of disabled group boxes included:
// grey, yet readable against the style's surfaces.
QColor DisabledTextColor();
