#pragma once
// What one sync with the server does, decided before anything is sent or filed:
// from the book as it is, the links as both sides last agreed, and what the server
// changed since. Nothing either side changed is lost: where both changed one
// contact, the server keeps its version and the book gets it beside its own, which
// then goes up as a card of its own.

#include "data/PhoneRecord.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>
#include <span>
#include <utility>
#include <vector>

/// A book entry linked to a card on the server, as both sides last agreed.
struct SyncLink {
    QString href;       ///< the card's path on the server
    QByteArray etag;    ///< its version then; empty for a card sent that the server has not yet confirmed
    QByteArray card;    ///< the card's bytes then: what the book does not show is kept from it
    PhoneRecord record; ///< the entry then
    friend bool operator==(const SyncLink&, const SyncLink&) = default;
};

/// A card the server changed, added or removed since the last sync.
struct ServerChange {
    QString href;
    QByteArray etag;
    QByteArray card;
    std::optional<PhoneRecord> record; ///< the entry the card makes; none when it was removed
};

struct SyncPlan {
    /// A card to write: a change of the linked card `over` (at its version), or a new
    /// card (a link without a version: at its href, where no card may be yet).
    struct Upload {
        SyncLink over;
        PhoneRecord record;
    };
    std::vector<PhoneRecord> removeLocal; ///< entries to take out of the book, each one equal to it
    std::vector<PhoneRecord> addLocal;    ///< entries to file
    std::vector<Upload> uploads;
    std::vector<SyncLink> deletes; ///< cards to delete at the version read
    std::vector<SyncLink> links;   ///< links that stand as they are (each upload makes its own)
    /// Contacts both sides changed: the server's version and the book's, both kept.
    std::vector<std::pair<PhoneRecord, PhoneRecord>> conflicts;
};

/// The plan for `book` given `links` and the server's `changes`. Entries of the book
/// equal to no link's entry are new or changed: one is taken as the change of an
/// entry no longer in the book when it has that entry's romaji name, else its phone
/// number, else its kanji name. `newHref` names the card of a new entry.
SyncPlan PlanSync(std::span<const PhoneRecord> book, std::span<const SyncLink> links,
                  std::span<const ServerChange> changes, const std::function<QString()>& newHref);
