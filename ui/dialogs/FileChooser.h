#pragma once

#include <QString>

class QWidget;

// Asks the user for a file name. The window holds one; the default shows the desktop's file
// dialogs, and tests put one in its place that answers at once.
class TFileChooser {
public:
    virtual ~TFileChooser() = default;
    // The file to read, or empty when the user cancelled.
    virtual QString OpenFileName(QWidget* parent, const QString& caption, const QString& folder,
                                 const QString& filters);
    // The file to write, or empty when the user cancelled; `selectedFilter` gets the filter the
    // user chose.
    virtual QString SaveFileName(QWidget* parent, const QString& caption, const QString& suggested,
                                 const QString& filters, QString* selectedFilter);
};
