#pragma once
// The address the settings window's link shows and opens.
#include <functional>
#include <string>

namespace mirevo {

// The README packaged on Debian, for a copy of the programs that has no README of its own.
inline constexpr const char* kPackagedReadme = "/usr/share/doc/mirevo/README.md";

// configured, when not empty, is the address the build was given. Otherwise the README that goes with this
// copy of the programs, as a file:// address, the first of:
//   - README.md beside the programs: in a build folder a link to the source tree's README;
//   - the installed README under the prefix the programs are installed in, docFromPrograms being the
//     documents' folder relative to the program folder ("../../share/doc/mirevo" for <prefix>/lib/mirevo);
//   - the packaged README.
// With none of them there, the installed README's place. realFile(path) is the file's path with links
// resolved, or empty when there is no such file.
std::string homePageAddress(const std::string& configured, const std::string& programFolder,
                            const std::string& docFromPrograms,
                            const std::function<std::string(const std::string&)>& realFile);

// homePageAddress for this program folder, from the file system now.
std::string homePageAddressOnDisk(const std::string& configured, const std::string& programFolder,
                                  const std::string& docFromPrograms);

} // namespace mirevo
