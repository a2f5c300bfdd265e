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

/// How a write of the settings file went.
struct SettingsWriteResult {
    int nError = 0; ///< errno of the step that failed; 0 when the file was written
    bool ok() const { return nError == 0; }
    /// Why the write failed, in Japanese.
    std::string Reason() const;
};

/// Writes `value` in decimal and one NUL byte over the start of the settings file at
/// `path`. An existing file is opened without truncating it, so every byte after
/// those keeps its value; only when that open fails is the file created or emptied.
SettingsWriteResult WriteMaxHits(const std::string& path, int value);
