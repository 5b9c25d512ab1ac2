#pragma once

#include "printing/SheetCanvas.h"
#include "printing/unitPrintArea.h"

#include <QString>
#include <QStringList>

#include <array>

// What an empty masked phone or fax field and an empty extension field read.
inline const QString kEmptyMaskedPhone = QStringLiteral("(   )   -    ");
inline const QString kEmptyMaskedExtension = QStringLiteral("     ");

// One further person at the contact, as their band on the sheet shows them.
struct ExtraContactSheetData {
    QString title;
    QString name;
    QString phone = kEmptyMaskedPhone;
    QString extension = kEmptyMaskedExtension;
    QString fax = kEmptyMaskedPhone;
    // The lines as the notes box displays them, wrapped, without a trailing empty line.
    QStringList notes;
};

// The texts of the open contact as the editor holds them when the sheet is printed. Masked
// values keep their literal characters and blanks. A default object is an empty editor.
struct ContactSheetData {
    QString company;
    QString firstName;
    QString lastName;
    QString address;
    QString cityStateZip;
    QString email;
    QString webAddress;
    QString phone = kEmptyMaskedPhone;
    QString fax = kEmptyMaskedPhone;
    QStringList notes;
    std::array<ExtraContactSheetData, 5> extras;
};

// Draws the one-page contact sheet onto the canvas at positions taken from the page figures of
// the printer the canvas prints on. Uses the canvas's font and pen as they are.
void DrawContactSheet(ISheetCanvas& canvas, const PrintArea& area, const ContactSheetData& data);
