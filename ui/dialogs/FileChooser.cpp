#include "ui/dialogs/FileChooser.h"

#include <QFileDialog>

QString TFileChooser::OpenFileName(QWidget* parent, const QString& caption, const QString& folder,
                                   const QString& filters) {
    return QFileDialog::getOpenFileName(parent, caption, folder, filters);
}

QString TFileChooser::SaveFileName(QWidget* parent, const QString& caption,
                                   const QString& suggested, const QString& filters,
                                   QString* selectedFilter) {
    return QFileDialog::getSaveFileName(parent, caption, suggested, filters, selectedFilter);
}
