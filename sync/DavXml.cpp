#include "DavXml.h"

#include <QUrl>
#include <QXmlStreamReader>

namespace {

constexpr QStringView kDav = u"DAV:";
constexpr QStringView kCardDav = u"urn:ietf:params:xml:ns:carddav";

// "HTTP/1.1 404 Not Found" -> 404; 0 when it is not a status line.
int StatusCode(const QString& line) {
    const QStringList parts = line.simplified().split(QLatin1Char(' '));
    return parts.size() >= 2 ? parts[1].toInt() : 0;
}

bool Is(const QXmlStreamReader& xml, QStringView ns, QStringView name) {
    return xml.namespaceUri() == ns && xml.name() == name;
}

// The href inside the element the reader stands on, percent-decoded.
QString HrefWithin(QXmlStreamReader& xml) {
    QString href;
    while (xml.readNextStartElement()) {
        if (Is(xml, kDav, u"href"))
            href = QUrl::fromPercentEncoding(xml.readElementText().trimmed().toUtf8());
        else
            xml.skipCurrentElement();
    }
    return href;
}

// The properties of one propstat's prop element, into `props`.
void ReadProps(QXmlStreamReader& xml, DavResource& props) {
    while (xml.readNextStartElement()) {
        if (Is(xml, kDav, u"getetag")) {
            props.etag = xml.readElementText().trimmed().toUtf8();
        } else if (Is(xml, kCardDav, u"address-data")) {
            props.addressData = xml.readElementText().toUtf8();
        } else if (Is(xml, kDav, u"displayname")) {
            props.displayName = xml.readElementText().trimmed();
        } else if (Is(xml, kDav, u"resourcetype")) {
            while (xml.readNextStartElement()) {
                if (Is(xml, kCardDav, u"addressbook"))
                    props.bAddressBook = true;
                xml.skipCurrentElement();
            }
        } else if (Is(xml, kDav, u"current-user-principal")) {
            props.principal = HrefWithin(xml);
        } else if (Is(xml, kCardDav, u"addressbook-home-set")) {
            props.home = HrefWithin(xml);
        } else {
            xml.skipCurrentElement();
        }
    }
}

DavResource ReadResponse(QXmlStreamReader& xml) {
    DavResource resource;
    int nFirstPropStatus = 0;
    while (xml.readNextStartElement()) {
        if (Is(xml, kDav, u"href")) {
            resource.href = QUrl::fromPercentEncoding(xml.readElementText().trimmed().toUtf8());
        } else if (Is(xml, kDav, u"status")) {
            resource.nStatus = StatusCode(xml.readElementText());
        } else if (Is(xml, kDav, u"propstat")) {
            DavResource props;
            int nStatus = 0;
            while (xml.readNextStartElement()) {
                if (Is(xml, kDav, u"prop"))
                    ReadProps(xml, props);
                else if (Is(xml, kDav, u"status"))
                    nStatus = StatusCode(xml.readElementText());
                else
                    xml.skipCurrentElement();
            }
            if (nFirstPropStatus == 0)
                nFirstPropStatus = nStatus;
            // Only properties the server has: a 404 propstat lists those it has not.
            if (nStatus / 100 == 2) {
                nFirstPropStatus = nStatus;
                if (!props.etag.isEmpty())
                    resource.etag = props.etag;
                if (!props.addressData.isEmpty())
                    resource.addressData = props.addressData;
                if (!props.displayName.isEmpty())
                    resource.displayName = props.displayName;
                resource.bAddressBook = resource.bAddressBook || props.bAddressBook;
                if (!props.principal.isEmpty())
                    resource.principal = props.principal;
                if (!props.home.isEmpty())
                    resource.home = props.home;
            }
        } else {
            xml.skipCurrentElement();
        }
    }
    if (resource.nStatus == 0)
        resource.nStatus = nFirstPropStatus;
    return resource;
}

QByteArray Propfind(const char* props) {
    return QByteArray(R"(<?xml version="1.0" encoding="utf-8"?>)"
                      R"(<d:propfind xmlns:d="DAV:" xmlns:card="urn:ietf:params:xml:ns:carddav"><d:prop>)") +
           props + "</d:prop></d:propfind>";
}

} // namespace

bool ParseMultistatus(const QByteArray& body, DavMultistatus& out) {
    out = {};
    QXmlStreamReader xml(body);
    if (!xml.readNextStartElement() || !Is(xml, kDav, u"multistatus"))
        return false;
    while (xml.readNextStartElement()) {
        if (Is(xml, kDav, u"response"))
            out.resources.push_back(ReadResponse(xml));
        else if (Is(xml, kDav, u"sync-token"))
            out.syncToken = xml.readElementText().trimmed().toUtf8();
        else
            xml.skipCurrentElement();
    }
    return !xml.hasError();
}

namespace DavBody {

QByteArray FindHome() {
    return Propfind("<d:current-user-principal/><card:addressbook-home-set/><d:resourcetype/><d:displayname/>");
}

QByteArray ListBooks() {
    return Propfind("<d:resourcetype/><d:displayname/>");
}

QByteArray ListEtags() {
    return Propfind("<d:getetag/>");
}

QByteArray SyncCollection(const QByteArray& token) {
    return QByteArray(R"(<?xml version="1.0" encoding="utf-8"?>)"
                      R"(<d:sync-collection xmlns:d="DAV:"><d:sync-token>)") +
           QString::fromUtf8(token).toHtmlEscaped().toUtf8() + "</d:sync-token><d:sync-level>1</d:sync-level><d:prop><d:getetag/></d:prop>" +
           "</d:sync-collection>";
}

QByteArray Multiget(const std::vector<QString>& hrefs) {
    QByteArray body(R"(<?xml version="1.0" encoding="utf-8"?>)"
                    R"(<card:addressbook-multiget xmlns:d="DAV:" xmlns:card="urn:ietf:params:xml:ns:carddav">)"
                    "<d:prop><d:getetag/><card:address-data/></d:prop>");
    for (const QString& href : hrefs)
        body += "<d:href>" + QString::fromLatin1(QUrl::toPercentEncoding(href, "/")).toHtmlEscaped().toUtf8() +
                "</d:href>";
    return body + "</card:addressbook-multiget>";
}

} // namespace DavBody
