// Fuzz target: each line of the input is one command string for the interpreter, over a disc and a song
// that make no sound; the disc plays on a little after each command.
#include <cstdint>
#include <string>

#include "tests/music/fake_devices.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace mirevo;
    test::FakeDisc disc = test::FakeDisc::withTracks({750, 1500, 2250, 750});
    test::FakeSong song;
    MciInterpreter mci(test::fakeBackends(&disc, &song));
    std::string input(reinterpret_cast<const char*>(data), size);
    size_t start = 0;
    uint32_t length = 1;
    while (start <= input.size()) {
        size_t end = input.find('\n', start);
        if (end == std::string::npos) end = input.size();
        char reply[64];
        mci.sendString(input.substr(start, end - start), reply, length);
        length = length % 64 + 7;
        disc.advance(400);
        start = end + 1;
    }
    return 0;
}
