// The command line: how the arguments join, the switch letter and the preview host's handle.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "saver/startup/command_line.h"

namespace mirevo {
namespace {

TEST(CommandLine, ArgumentsJoinWithSingleBlanks) {
    struct Case {
        std::vector<std::string> args;
        std::string text;
    };
    const std::vector<Case> cases{
        {{"Mirevo.scr"}, ""},
        {{"Mirevo.scr", "/s"}, "/s"},
        {{"Mirevo.scr", "/p", "1234"}, "/p 1234"},
        {{"Mirevo.scr", "/p:1234"}, "/p:1234"},
        {{"Mirevo.scr", "/c", "", "x"}, "/c  x"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> copies = c.args;
        std::vector<char*> argv;
        for (auto& arg : copies)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        EXPECT_EQ(argumentText(static_cast<int>(c.args.size()), argv.data()), c.text);
    }
}

TEST(CommandLine, SwitchLetterIsTheSecondCharacterUpperCased) {
    const std::vector<std::pair<std::string, char>> cases{
        {"", '\0'},    {"s", '\0'}, {"/s", 'S'}, {"-S", 'S'},           {"xp 5", 'P'},
        {"/c:1", 'C'}, {"/1", '1'}, {"s/", '/'}, {"/\xC3\xA9", '\xC3'},
    };
    for (const auto& [text, letter] : cases)
        EXPECT_EQ(switchLetter(text), letter) << "text \"" << text << "\"";
}

TEST(CommandLine, HostHandleReadsTheNumberAfterTheSwitch) {
    const std::vector<std::pair<std::string, int32_t>> cases{
        {"/p", 0},
        {"/p ", 0},
        {"/p 1234", 1234},
        {"/p:1234", 1234},
        {"/px1234", 1234}, // position 3 is skipped whatever it is
        {"/p12", 2},
        {"/p    42", 42},
        {"/p \t42", 42},
        {"/p +5", 5},
        {"/p -7", -7},
        {"/p 12abc", 12},
        {"/p 1 2", 1},
        {"/p 12.", 12},
        {"/p abc", 0},
        {"/p -", 0},
        {"/p .", 0},
        {"/p 0x10", 0},
        // Halves go to the even neighbour, anything past a half goes up.
        {"/p 0.5", 0},
        {"/p 1.5", 2},
        {"/p 2.5", 2},
        {"/p 2.50001", 3},
        {"/p 12.5", 12},
        {"/p 13.5", 14},
        {"/p 13.49", 13},
        {"/p -2.5", -2},
        {"/p -3.5", -4},
        {"/p .5", 0},
        {"/p -.7", -1},
        {"/p 007", 7},
        // 32 bits are the limit; beyond it there is no handle.
        {"/p 2147483647", 2147483647},
        {"/p 2147483647.5", 0},
        {"/p 2147483648", 0},
        {"/p -2147483648", -2147483647 - 1},
        {"/p -2147483649", 0},
        {"/p 99999999999999999999999", 0},
        {"/p 0000000000000000000000001", 1},
    };
    for (const auto& [text, handle] : cases)
        EXPECT_EQ(hostHandle(text), handle) << "text \"" << text << "\"";
}

} // namespace
} // namespace mirevo
