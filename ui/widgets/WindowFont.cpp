#include "ui/widgets/WindowFont.h"

#include <QStringList>

QFont WindowFont(const QString& family, int pointSize, bool bold) {
    QFont font(family);
    font.setFamilies({family, "Liberation Sans", "Arial", "Helvetica"});
    font.setPointSize(pointSize);
    font.setBold(bold);
    return font;
}
