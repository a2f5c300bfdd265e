#pragma once
// What a book's sync remembers between syncs: the server's sync token and each
// linked entry's card. Kept in a file of its own beside the program's settings,
// never in the phone-book file, and replaced whole at each write.

#include "SyncPlan.h"

#include <QByteArray>
#include <QString>
#include <vector>

struct SyncState {
    QByteArray token; ///< the server's sync token after the last sync; empty before the first
    std::vector<SyncLink> links;
    friend bool operator==(const SyncState&, const SyncState&) = default;
};

/// Reads the state at `path` into `state`; a file that is not there is the state
/// before the first sync. False with `error` set when the file cannot be read or is
/// damaged: a sync must not start from a state it does not know, or it would take
/// every entry for new.
bool LoadSyncState(const QString& path, SyncState& state, QString& error);
/// Writes `state` to `path` in one piece: the old file stays until the new one is complete.
bool SaveSyncState(const QString& path, const SyncState& state, QString& error);
