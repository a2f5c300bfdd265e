#pragma once
// The settings file: its first line holds the hit limit in decimal.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

/// The hit limit held by a first line: the text up to its first NUL, read as atoi does.
int ParseMaxHitsLine(std::string_view firstLine);

/// How many bytes of the settings file are read: the first line of any file written
/// by this program or by hand, number and leading blanks, is far shorter.
constexpr std::size_t kSettingsReadMax = 4096;

/// Reads the first line of the settings file at `path` in text mode, no more than its
/// first kSettingsReadMax bytes. nullopt when the file cannot be opened or read, or is
/// not a regular file (a pipe or a device is never waited for nor read without end).
std::optional<int> ReadMaxHits(const std::string& path);

/// How a write of the settings file went.
struct SettingsWriteResult {
    int nError = 0;           ///< errno of the step that failed; 0 when the file was written
    bool bNotRegular = false; ///< refused: `path` names a pipe, a device or the like
    bool ok() const { return nError == 0 && !bNotRegular; }
    /// Why the write failed, in Japanese.
    std::string Reason() const;
};

/// Writes `value` in decimal and one NUL byte over the start of the settings file at
/// `path`. An existing file is opened without truncating it, so every byte after
/// those keeps its value; only when that open fails is the file created or emptied.
/// Anything but a regular file (or a folder, which the open refuses) is left alone.
SettingsWriteResult WriteMaxHits(const std::string& path, int value);
