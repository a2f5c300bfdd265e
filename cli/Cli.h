#pragma once
// marlo-cli: the phone book from a terminal. Lists, searches as the window
// does, converts between the archive and the text format, imports and exports
// contacts.

#include "CliArgs.h"
#include "CliOutput.h"

#include <cstdio>
#include <string>
#include <vector>

using CliCommandFunction = int (*)(const CliRequest&, const CliStreams&);

/// Runs marlo-cli with `args` (without the program name), writing results to
/// `out` and messages to `err`. Returns the exit status. The sync command runs
/// `sync` when given (the sync program), else starts the sync program in this
/// process's place.
int RunCli(const std::vector<std::string>& args, std::FILE* out, std::FILE* err, CliCommandFunction sync = nullptr);
