#pragma once
// marlo-cli: the phone book from a terminal. Lists, searches as the window
// does, and converts between the archive and the text format.

#include <cstdio>
#include <string>
#include <vector>

/// Exit statuses of marlo-cli.
enum CliStatus : int { kCliOk = 0, kCliFailed = 1, kCliUsage = 2 };

/// Runs marlo-cli with `args` (without the program name), writing results to
/// `out` and messages to `err`. Returns the exit status.
int RunCli(const std::vector<std::string>& args, std::FILE* out, std::FILE* err);
