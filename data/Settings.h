#pragma once
// The settings file: its first line holds the hit limit in decimal.

#include <optional>
#include <string>
#include <string_view>

/// The hit limit held by a first line: the text up to its first NUL, read as atoi does.
int ParseMaxHitsLine(std::string_view firstLine);

/// Reads the first line of the settings file at `path` in text mode.
/// nullopt when the file cannot be opened or read.
std::optional<int> ReadMaxHits(const std::string& path);
