#pragma once
// Stands in for the desktop: answers from its fields and records every call Main makes, in order.
#include <set>
#include <string>
#include <vector>

#include "shared/settings/settings.h"
#include "saver/startup/startup_platform.h"

namespace mirevo::test {

class FakeStartupPlatform : public StartupPlatform {
public:
    std::set<std::string> windows; // titles of the top-level windows that exist
    std::string folder;
    bool previewShows = true;
    bool instanceLockFree = true;
    const ProgramState* state = nullptr; // looked at when the message box appears

    std::vector<std::string> calls;
    int16_t bgmKindAtMessageBox = -1;

    bool takeInstanceLock() override {
        calls.push_back("takeInstanceLock");
        return instanceLockFree;
    }
    bool windowExists(const std::string& title) override {
        calls.push_back("windowExists " + title);
        return windows.count(title) > 0;
    }
    void bringToFront(const std::string& title) override { calls.push_back("bringToFront " + title); }
    std::string programFolder() override {
        calls.push_back("programFolder");
        return folder;
    }
    void showMessageBox(const std::string& text, const std::string& caption) override {
        calls.push_back("messageBox " + text + " | " + caption);
        if (state) bgmKindAtMessageBox = state->settings.BgmKind;
    }
    void hideCursor() override { calls.push_back("hideCursor"); }
    bool showPreview(int32_t hostHandle) override {
        calls.push_back("showPreview " + std::to_string(hostHandle));
        return previewShows;
    }
    void showSettingsDialog() override { calls.push_back("settingsDialog"); }
    void startSession(bool cursorHidden) override {
        calls.push_back(cursorHidden ? "startSession hidden" : "startSession visible");
    }
};

} // namespace mirevo::test
