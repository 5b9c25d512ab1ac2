#pragma once

#include <QString>
#include <string_view>

// Text as the address book stores it, and as the window shows it. Files written by this program
// hold UTF-8 (the ANSI code page on Windows). Files brought over from the Windows version hold
// that code page's bytes, Windows-1252, which are never valid UTF-8 once they hold a letter
// outside ASCII: such text is read as Windows-1252, so "M\xfcller" shows as "Müller".
QString FromStored(std::string_view bytes);
