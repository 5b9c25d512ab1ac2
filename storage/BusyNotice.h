#pragma once

#include <string>

// Long-running storage work announces itself through this hook so that the window layer can
// show its busy indicator without the storage layer knowing about windows. The default does
// nothing.
class IBusyNotice {
public:
    virtual ~IBusyNotice() = default;
    virtual void Begin(const std::string& caption) = 0;
    virtual void End() = 0;
};

// Installs the hook (not owned); null restores the silent default.
void SetBusyNotice(IBusyNotice* notice);
IBusyNotice& BusyNotice();
