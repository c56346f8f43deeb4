#pragma once

#include <string>
#include <vector>

namespace qm {

// The program's arguments as UTF-8 texts, the program first. On Windows they are taken from
// the command line in UTF-16, so that names in any script survive (argv holds them in the ANSI
// code page); elsewhere they are argv as given.
std::vector<std::string> ProgramArguments(int argc, char* argv[]);

// On Windows the program has no console of its own: its standard output and error go to the
// console it was started from, if any. Nothing elsewhere.
void UseParentConsole();

}  // namespace qm
