#include "cli/command_line.h"

int main(int argc, char** argv) { return nerolin::cli::Main(argc, argv); }
