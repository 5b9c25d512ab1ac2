#pragma once

#include "storage/BusyNotice.h"

// Shows storage work announced through the busy hook in the busy indicator window.
class TBusyWindowNotice : public IBusyNotice {
public:
    void Begin(const std::string& caption) override;
    void End() override;
};
