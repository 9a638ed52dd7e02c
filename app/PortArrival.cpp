#include "app/PortArrival.h"

#include "link/PortDiscovery.h"

namespace quenda {

bool PortArrivalPoller::Poll() {
    std::set<std::string> present;
    for (const std::string& name : ports_.FriendlyNames()) present.insert(name);
    bool arrived = false;
    if (primed_) {
        for (const std::string& name : present) {
            if (!known_.contains(name)) arrived = true;
        }
    }
    // A port that went away and comes back is an arrival again.
    known_ = std::move(present);
    primed_ = true;
    return arrived;
}

}  // namespace quenda
