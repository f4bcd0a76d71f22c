#pragma once

#include "seams/Window.h"

#include <algorithm>
#include <string>
#include <vector>

namespace vexor::fakes {

// Records the events a window delivers, in order: "load", "key:116:2",
// "click:btnSair", "unload".
class RecordingSink : public IFormEvents {
  public:
    std::vector<std::string> events;

    void Load() override { events.push_back("load"); }
    void KeyDown(std::uint16_t& keyCode, int shiftState) override {
        events.push_back("key:" + std::to_string(keyCode) + ":" + std::to_string(shiftState));
    }
    void Click(std::string_view control) override {
        events.push_back("click:" + std::string(control));
    }
    void Unload(std::int16_t&) override { events.push_back("unload"); }

    int count(const std::string& event) const {
        return static_cast<int>(std::count(events.begin(), events.end(), event));
    }
};

} // namespace vexor::fakes
