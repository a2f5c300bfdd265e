#pragma once
// The XML that a CardDAV server and Marlo exchange: the bodies of the requests
// and what is read out of a server's multistatus answers.

#include <QByteArray>
#include <QString>
#include <vector>

/// One response of a multistatus answer: a resource and the properties it was given.
struct DavResource {
    QString href;           ///< the path, as the server wrote it, percent-decoded
    int nStatus = 0;        ///< the status of the resource or of its found properties
    QByteArray etag;        ///< getetag, quotes included
    QByteArray addressData; ///< the card itself (address-data), when asked for
    QString displayName;
    bool bAddressBook = false; ///< resourcetype holds an address book
    QString principal;         ///< current-user-principal's href
    QString home;              ///< addressbook-home-set's href
};

/// What a multistatus answer says: its resources and, for a sync-collection report,
/// the new sync token.
struct DavMultistatus {
    std::vector<DavResource> resources;
    QByteArray syncToken;
};

/// Reads a multistatus answer; false when `xml` is not one.
bool ParseMultistatus(const QByteArray& xml, DavMultistatus& out);

namespace DavBody {
/// PROPFIND for the user's principal and address-book home, and whether the resource is itself an address book.
QByteArray FindHome();
/// PROPFIND listing collections with their type and name.
QByteArray ListBooks();
/// PROPFIND of each card's ETag.
QByteArray ListEtags();
/// REPORT sync-collection from `token` (empty: from the start), ETags only.
QByteArray SyncCollection(const QByteArray& token);
/// REPORT addressbook-multiget of `hrefs`, with their cards.
QByteArray Multiget(const std::vector<QString>& hrefs);
} // namespace DavBody
