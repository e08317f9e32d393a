#pragma once

namespace nerolin::cli {

// Parses the command line of nerolin-report, runs the command it names and
// returns the exit status (see commands.h): kExitUsage after a usage message
// for a command line that does not parse, 0 after --help.
int Main(int argc, char** argv);

}  // namespace nerolin::cli
