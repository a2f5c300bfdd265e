#pragma once
// marlo-cli's command line: the options and the command, checked and turned into
// one request before anything is read.

#include "interop/ContactImport.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

/// Exit statuses of marlo-cli.
enum CliStatus : int { kCliOk = 0, kCliFailed = 1, kCliUsage = 2 };

enum class CliCommand { Help, Version, List, Search, Find, Convert, Import, Export, Sync };

/// What the command line asks for.
struct CliRequest {
    CliCommand command = CliCommand::Help;
    /// The phone book (-f, else the default one of the working directory).
    std::string book;
    /// The files named after the command: convert's input and output, import's contact
    /// files, export's output.
    std::vector<std::string> files;
    /// The keys of search (the first) and find, as code page 932 bytes; empty when absent.
    std::array<std::string, 3> keys;
    /// --max; without it, search takes the limit of ./profile.
    std::optional<int> maxHits;
    /// --encoding cp932: results as the file's own bytes rather than UTF-8.
    bool rawBytes = false;
    bool dryRun = false;
    ExportFormat exportFormat = ExportFormat::VCard;
    CsvDialect csvDialect = CsvDialect::Marlo; ///< export --format
    /// sync: the CardDAV address book (or the server, whose address books are then
    /// found), the user, and a certificate trusted by its SHA-256 digest (hex) although
    /// it does not verify.
    std::string davUrl, davUser, trustedCertificate;
    /// The command line as given (without the program name), which sync hands on to
    /// the sync program.
    std::vector<std::string> arguments;
};

/// A command line marlo-cli cannot run: `message` says why, followed by the short
/// usage when `showUsage` (not for a key that has no code page 932 bytes).
struct CliUsageError {
    std::string message;
    bool showUsage = true;
};

/// The request of `args` (without the program name). Throws CliUsageError.
CliRequest ParseCommandLine(const std::vector<std::string>& args);

/// The short usage and the help text, in Japanese.
extern const char* const kCliUsageText;
extern const char* const kCliHelpText;
