#pragma once
// marlo-cli's sync, a program of its own (marlo-cli-sync): only it loads the network,
// the secret store and their libraries, so that the other commands start without them.

#include "CliArgs.h"
#include "CliOutput.h"

/// Syncs the phone book (made when missing) with a CardDAV address book both ways.
int CliSync(const CliRequest& request, const CliStreams& streams);
