#pragma once

// The reader of WebDAV 207 Multi-Status bodies (RFC 4918) with the properties CardDAV (RFC 6352)
// and sync-collection (RFC 6578) use. What a server sends is not trusted: the reader bounds the
// number of responses and the size of every text, refuses document type declarations (so no
// entity is ever expanded) and answers anything it cannot read with an error, never a crash.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// One <response>: its href and either a status of its own or the properties that came with a
// 2xx status (properties the server reports as missing or forbidden are left out).
struct DavResponse {
    QString href;   // as the server wrote it
    int status = 0; // the response's own status line, 0 when it has propstats
    bool hasEtag = false;
    QString etag; // exactly as sent, quotes included
    bool isCollection = false;
    bool isAddressBook = false;
    bool isPrincipal = false;
    QString displayName;
    QString currentUserPrincipal;   // href
    QStringList addressBookHomeSet; // hrefs
    bool hasAddressData = false;
    QByteArray addressData;            // the vCard text as UTF-8
    bool offersSyncCollection = false; // in supported-report-set
};

struct Multistatus {
    QList<DavResponse> responses;
    QString syncToken; // the top-level <sync-token>, empty when absent
    QString error;     // empty when the body was read whole
    bool cardTooLarge = false; // the error is a vCard beyond maxAddressData
};

struct MultistatusLimits {
    int maxResponses = 250000;
    int maxText = 64 * 1024;               // an href, status, ETag, name or token
    int maxAddressData = 16 * 1024 * 1024; // one vCard
    int maxDepth = 64;                     // nested elements
};

// Reads a whole body. On error the result carries a message naming what was wrong and where,
// and no responses.
Multistatus ParseMultistatus(const QByteArray& body, const MultistatusLimits& limits = {});

// The text of the first address-data in a multistatus body as UTF-8, or of a body cut short as
// much of it as the body holds, up to its last line known to be whole.
QByteArray LeadingAddressData(const QByteArray& body);

// The code of an HTTP status line such as "HTTP/1.1 404 Not Found", 0 when it is not one.
int StatusLineCode(const QString& line);
