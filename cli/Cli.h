#pragma once
// marlo-cli: the phone book from a terminal. Lists, searches as the window
// does, converts between the archive and the text format, imports and exports
// contacts.

#include "CliArgs.h"

#include <cstdio>
#include <string>
#include <vector>

/// Runs marlo-cli with `args` (without the program name), writing results to
/// `out` and messages to `err`. Returns the exit status.
int RunCli(const std::vector<std::string>& args, std::FILE* out, std::FILE* err);
