#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace vexor::fakes {

// Waits for another thread to make `holds` true where that thread tells no
// one (a counter it drops as it ends). The bound only catches a hang; how soon
// it holds is never asserted.
inline bool Eventually(const std::function<bool()>& holds,
                       std::chrono::milliseconds bound = std::chrono::seconds(60)) {
    for (auto left = bound.count(); left > 0; --left) {
        if (holds()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return holds();
}

} // namespace vexor::fakes
