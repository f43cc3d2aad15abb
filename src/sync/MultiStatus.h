#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// The WebDAV multi-status answer (RFC 4918 §13) as the CardDAV client needs it.
namespace davsync::dav {

// Element names are kept as "namespace|local", e.g. "DAV:|getetag".
inline constexpr char davNs[] = "DAV:";
inline constexpr char cardNs[] = "urn:ietf:params:xml:ns:carddav";

struct Property
{
    QString text;         // the element's own text, e.g. an ETag or address-data
    QStringList hrefs;    // hrefs inside it, e.g. of current-user-principal
    QStringList elements; // names of every element inside it, e.g. of resourcetype
};

struct Response
{
    QString href;                   // as written by the server, still percent-encoded
    int status = 0;                 // a status of the response itself (e.g. 404 in a sync report), else 0
    QHash<QString, Property> found; // properties with a 2xx propstat
};

struct MultiStatus
{
    QList<Response> responses;
    QString syncToken; // RFC 6578's token of the whole answer
};

// The parsed answer, or nothing when it is not a well-formed multistatus.
std::optional<MultiStatus> parseMultiStatus(const QByteArray& body);

// The status code of "HTTP/1.1 404 Not Found", or 0.
int statusCode(QStringView statusLine);

// Whether an error body (RFC 4918 §16) names `precondition` (e.g. "DAV:|valid-sync-token").
bool namesPrecondition(const QByteArray& body, const QString& precondition);

} // namespace davsync::dav
