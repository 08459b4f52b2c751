#pragma once
// Records what a CommandControl asks of its window.
#include <string>
#include <vector>

#include "saver/button/command_control.h"

namespace mirevo::test {

struct Paint {
    Skin skin;
    bool reversed;
    bool operator==(const Paint& o) const { return skin == o.skin && reversed == o.reversed; }
};

struct FakeSurface final : CommandSurface {
    std::vector<Paint> paints;
    std::vector<std::string> changed;
    int clicks = 0, refreshes = 0;
    bool polling = false;

    void paintFace(Skin skin, bool reversed) override { paints.push_back({skin, reversed}); }
    void refreshCaption() override { ++refreshes; }
    void runMousePoll(bool running) override { polling = running; }
    void propertyChanged(const char* name) override { changed.push_back(name); }
    void click() override { ++clicks; }
    // What happened since the last call, and forget it.
    std::vector<Paint> takePaints() { return std::exchange(paints, {}); }
};

} // namespace mirevo::test
