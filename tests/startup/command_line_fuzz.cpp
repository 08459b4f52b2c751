// Arbitrary argument texts through the switch letter, the host handle and the whole start-up choice.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "saver/startup/command_line.h"
#include "saver/startup/tovik_main.h"
#include "tests/startup/fake_startup_platform.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace mirevo;
    // The first byte picks which instance windows exist and whether another start holds the lock; the rest
    // is the argument text.
    const uint8_t flags = size > 0 ? data[0] : 0;
    const std::string text = size > 0 ? std::string(reinterpret_cast<const char*>(data) + 1, size - 1) : "";

    const char letter = switchLetter(text);
    if (text.size() < 2 && letter != '\0') std::abort();
    const int32_t handle = hostHandle(text);
    if (text.size() <= 3 && handle != 0) std::abort();

    test::FakeStartupPlatform platform;
    // A folder that holds no Mirevo.ini and no viewer: every start but preview ends at the message box.
    platform.folder = "/nonexistent-mirevo-folder";
    if (flags & 1) platform.windows.insert(kSessionWindowTitle);
    if (flags & 2) platform.windows.insert(kSettingsDialogTitle);
    platform.previewShows = (flags & 4) != 0;
    platform.instanceLockFree = (flags & 8) == 0;
    ProgramState state;
    const MainOutcome outcome = Main(text, platform, state);

    // Every start but a preview takes the lock before the title test; held elsewhere, it ends the start after
    // showing the dialog.
    const bool locking = letter != 'P';
    if (locking != (platform.calls.front() == "takeInstanceLock")) std::abort();
    if (locking && !platform.instanceLockFree) {
        if (outcome != MainOutcome::End || platform.calls.size() != 2) std::abort();
        return 0;
    }
    const bool blocked = (flags & 3) != 0;
    if (blocked && (outcome != MainOutcome::End || platform.calls.size() != (locking ? 4u : 2u)))
        std::abort();
    if (!blocked && letter == 'P' && platform.calls.back() != "showPreview " + std::to_string(handle))
        std::abort();
    if (!blocked && letter != 'P' &&
        (outcome != MainOutcome::End || platform.calls.back().rfind("messageBox ", 0) != 0))
        std::abort();
    return 0;
}
