#pragma once
// Paths the programs share: the folder of a path, a file beside the programs, whether a file is there to
// read, and where this very program lives (its links resolved, so that a link in bin/ or libexec/ finds the
// programs' own folder).
#include <string>

namespace mirevo {

// True when the path names something that opens for reading now and is not a folder. A path ending in "/"
// has that one character dropped first.
bool File_Exists(const std::string& path);

// The folder part of a path: the text up to the last "/", with one trailing "/" dropped; "/" for a file in
// the root folder; empty when there is no "/".
std::string Path_Folder(const std::string& path);

// A file in the program folder ("/" joins them once, also for the root folder).
std::string programFilePath(const std::string& programFolder, const std::string& name);

// This program's file, links resolved; empty when the system does not say.
std::string thisProgramPath();
// Its folder; "." when the system does not say.
std::string thisProgramFolder();

} // namespace mirevo
