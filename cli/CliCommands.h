#pragma once
// marlo-cli's commands, one function each: every one opens the phone book as the
// window's document does and runs the window's own search or save on it.

#include "CliArgs.h"
#include "CliOutput.h"

/// The phone book's entries in phone-book order.
int CliList(const CliRequest& request, const CliStreams& streams);
/// The rows the name search lists for the first key, as the search box does.
int CliSearch(const CliRequest& request, const CliStreams& streams);
/// The entries holding every key, the last one first, as the full-text search lists them.
int CliFind(const CliRequest& request, const CliStreams& streams);
/// Opens the first file and saves it as the second, each in the format its name says.
int CliConvert(const CliRequest& request, const CliStreams& streams);
/// Adds the entries of contact files to the phone book (made when missing) and saves
/// it; a dry run prints them instead.
int CliImport(const CliRequest& request, const CliStreams& streams);
/// Writes the phone book as contacts, vCard or CSV.
int CliExport(const CliRequest& request, const CliStreams& streams);
/// Replaces this process with the sync program (marlo-cli-sync, beside marlo-cli or in
/// the package's libexec folder) on the same arguments; returns only when it cannot be
/// started, having said why.
int RunSyncProgram(const std::vector<std::string>& arguments, const CliStreams& streams);
/// The command `request` names, help and version included.
int RunCliCommand(const CliRequest& request, const CliStreams& streams);
