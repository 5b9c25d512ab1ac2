#pragma once

#include <QFont>
#include <QString>

// The windows' font. Where the named family is missing, a narrow sans-serif takes its place, so
// that captions sized for it still fit.
QFont WindowFont(const QString& family, int pointSize, bool bold = false);
