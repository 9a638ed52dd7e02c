#pragma once

#include <set>
#include <string>

namespace quenda {

class PortEnumerator;

// Device arrival where no kernel event stream can be had: the serial ports
// present are compared with the last look, and a name not seen before is an
// arrival. The first look only learns what is there.
class PortArrivalPoller {
public:
    explicit PortArrivalPoller(PortEnumerator& ports) : ports_(ports) {}

    // True when a port appeared since the last call.
    bool Poll();

private:
    PortEnumerator& ports_;
    std::set<std::string> known_;
    bool primed_ = false;
};

}  // namespace quenda
