#pragma once

class QWidget;

// File > Sync Settings...: the server's or address book's URL, the user name, the password
// (kept in the desktop keyring, never in a file), a test that lists the address books found,
// and the timed sync. Returns true when the user saved the settings.
bool ShowSyncSettings(QWidget* parent);
