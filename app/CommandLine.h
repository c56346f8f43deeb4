#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qm {

// The command line as the program looks at it before Qt does.

// `name` ("--export") stands on the command line, alone or as "--export=VALUE".
bool HasOption(int argc, char* argv[], std::string_view name);

// The value of "--lang VALUE" or "--lang=VALUE", when given.
std::optional<std::string> LanguageArgument(int argc, char* argv[]);
// The language of messages the command line asks for: English for "en"; Russian otherwise, as
// the window starts.
bool EnglishAsked(int argc, char* argv[]);

// On Windows the program has no console of its own: its standard output and error go to the
// console it was started from, if any. Nothing elsewhere.
void UseParentConsole();

}  // namespace qm
