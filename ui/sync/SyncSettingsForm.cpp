#include "SyncSettingsForm.h"

// Placeholder until the dialog lands: nothing is shown and nothing saved.
bool ShowSyncSettings(QWidget*) {
    return false;
}
