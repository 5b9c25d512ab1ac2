#include "storage/BusyNotice.h"

namespace {
class SilentNotice : public IBusyNotice {
public:
    void Begin(const std::string&) override {}
    void End() override {}
};
SilentNotice silent;
IBusyNotice* current = &silent;
} // namespace

void SetBusyNotice(IBusyNotice* notice) {
    current = notice ? notice : &silent;
}

IBusyNotice& BusyNotice() {
    return *current;
}
