#pragma once
// Which Mirevo.scr to start: the one beside mirevo-idle when there is one (a build folder, a portable copy),
// else the installed one in ../lib/mirevo/.
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace mirevo {

// Where to look, in order, for a mirevo-idle in ownFolder.
std::vector<std::string> saverCandidates(const std::string& ownFolder);

// The first candidate isProgram accepts; nothing when there is none.
std::optional<std::string> findSaverProgram(const std::string& ownFolder,
                                            const std::function<bool(const std::string&)>& isProgram);

} // namespace mirevo
