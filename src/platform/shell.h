#pragma once

#include <string_view>

namespace nerolin::platform {

// The desktop shell's verbs. "open" (in any letter case) hands `file` to
// `xdg-open`, which runs the program registered for its type; any other
// operation, and an empty `file`, run nothing. A file that is not a URL
// ("scheme:...") is made absolute against the current folder first, so a
// name starting with "-" is never read as an option. `directory`, when not
// empty and usable, is the program's working folder. `parameters` and
// `show_command` have no counterpart for documents here and are ignored.
//
// The opener runs detached in a session of its own and is not waited for:
// the call returns at once and its result is never looked at, whether the
// program exists, starts or fails. A thread of the engine's reaps it when
// it ends, so no zombie is left behind even where nothing else would reap it.
void ShellExecute(std::string_view operation, std::string_view file,
                  std::string_view parameters, std::string_view directory,
                  int show_command);

}  // namespace nerolin::platform
