#include "sync/CardDavClient.h"

#include "sync/MultiStatus.h"

#include <QEventLoop>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSslError>

namespace davsync {

using Headers = QList<std::pair<QByteArray, QByteArray>>;

namespace {

// Addresses in a multiget request: enough to keep one answer a few megabytes.
constexpr qsizetype multigetBatch = 100;
constexpr int redirectLimit = 5;

const QByteArray xmlHeader = QByteArrayLiteral(R"(<?xml version="1.0" encoding="utf-8"?>)");
const QByteArray xmlNamespaces =
    QByteArrayLiteral(R"( xmlns:d="DAV:" xmlns:c="urn:ietf:params:xml:ns:carddav")");

QByteArray propfindBody(const char* props)
{
    return xmlHeader + "<d:propfind" + xmlNamespaces + "><d:prop>" + props + "</d:prop></d:propfind>";
}

QByteArray escaped(const QString& text)
{
    return text.toHtmlEscaped().toUtf8();
}

QString shown(const QUrl& url)
{
    return url.toDisplayString(QUrl::RemoveUserInfo);
}

DavError error(DavError::Kind kind, const QString& message, int status = 0)
{
    return DavError{kind, status, message};
}

QString stripped(QString path)
{
    while (path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}

bool samePath(const QUrl& a, const QUrl& b)
{
    return stripped(a.path(QUrl::FullyDecoded)) == stripped(b.path(QUrl::FullyDecoded));
}

bool isAddressBook(const dav::Response& response)
{
    const auto type = response.found.constFind(QStringLiteral("DAV:|resourcetype"));
    return type != response.found.cend() &&
           type->elements.contains(QLatin1String("urn:ietf:params:xml:ns:carddav|addressbook"));
}

bool isCollection(const dav::Response& response)
{
    const auto type = response.found.constFind(QStringLiteral("DAV:|resourcetype"));
    return type != response.found.cend() && type->elements.contains(QLatin1String("DAV:|collection"));
}

QString textOf(const dav::Response& response, const char* name)
{
    return response.found.value(QLatin1String(name)).text.trimmed();
}

// An href of an answer as a URL in one form: servers differ in what they
// percent-encode ("+" or "%2B"), so the path is decoded and encoded again.
QUrl resolve(const QUrl& base, const QString& href)
{
    QUrl url = base.resolved(QUrl(href));
    url.setPath(url.path(QUrl::FullyDecoded), QUrl::DecodedMode);
    return url;
}

// The first href of a property such as current-user-principal, resolved against `base`.
QUrl hrefOf(const dav::Response& response, const char* name, const QUrl& base)
{
    const QStringList hrefs = response.found.value(QLatin1String(name)).hrefs;
    return hrefs.isEmpty() ? QUrl() : resolve(base, hrefs.first());
}

// XML parsing turns the CRLF of a card's lines into LF (XML 1.0 §2.11);
// a vCard's lines end with CRLF, so a card with no CR at all gets them back.
QByteArray cardLines(const QString& addressData)
{
    QByteArray data = addressData.toUtf8();
    if (!data.contains('\r'))
        data.replace("\n", "\r\n");
    return data;
}

} // namespace

struct CardDavClient::Reply
{
    QUrl url; // after redirects
    int status = 0;
    QByteArray body;
    QByteArray etag;
    QByteArray location;
    DavError error; // when there was no HTTP answer, or the URL was refused

    bool ok(std::initializer_list<int> expected) const
    {
        return !error && std::find(expected.begin(), expected.end(), status) != expected.end();
    }
    bool isRedirect() const
    {
        return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
    }

    // The multistatus a WebDAV request answers with; nothing, with `why`
    // set, when the request failed or the answer is not one.
    std::optional<dav::MultiStatus> multiStatus(const QByteArray& verb, DavError& why) const
    {
        if (!ok({207})) {
            why = failure(verb);
            return std::nullopt;
        }
        std::optional<dav::MultiStatus> answer = dav::parseMultiStatus(body);
        if (!answer)
            why = davsync::error(DavError::Kind::Protocol,
                                 QStringLiteral("%1 is not a WebDAV answer.").arg(shown(url)));
        return answer;
    }

    // Why the request failed, for a person to read.
    DavError failure(const QByteArray& verb) const
    {
        if (error)
            return error;
        if (status == 401)
            return davsync::error(
                DavError::Kind::Auth,
                QStringLiteral("The CardDAV server at %1 refused the user name or password.")
                    .arg(shown(url.adjusted(QUrl::RemovePath))),
                status);
        if (status == 412)
            return davsync::error(
                DavError::Kind::Precondition,
                QStringLiteral("The card %1 was created or changed on the server meanwhile.").arg(shown(url)),
                status);
        return davsync::error(DavError::Kind::Http,
                              QStringLiteral("The CardDAV server answered %1 to %2 %3.")
                                  .arg(status)
                                  .arg(QString::fromLatin1(verb), shown(url)),
                              status);
    }
};

CardDavClient::CardDavClient(Account account, QNetworkAccessManager* manager)
    : m_account(std::move(account)),
      m_origin(m_account.url.adjusted(QUrl::RemoveUserInfo | QUrl::RemovePath | QUrl::RemoveQuery |
                                      QUrl::RemoveFragment)),
      m_manager(manager)
{
    if (!m_manager) {
        m_ownManager = std::make_unique<QNetworkAccessManager>();
        m_manager = m_ownManager.get();
    }
}

CardDavClient::~CardDavClient() = default;

DavError CardDavClient::checkUrl(const QUrl& url)
{
    if (!url.isValid() || url.host().isEmpty())
        return error(DavError::Kind::Refused,
                     QStringLiteral("\"%1\" is not a server's address.").arg(shown(url)));
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("https"))
        return {};
    const QString host = url.host();
    const bool local =
        host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0 || QHostAddress(host).isLoopback();
    if (scheme == QLatin1String("http") && local)
        return {};
    return error(
        DavError::Kind::Refused,
        QStringLiteral("%1 is not HTTPS: a CardDAV server is reached only over HTTPS, plain HTTP only on "
                       "this computer (localhost).")
            .arg(shown(url)));
}

bool CardDavClient::sameOrigin(const QUrl& url) const
{
    return url.scheme().compare(m_origin.scheme(), Qt::CaseInsensitive) == 0 &&
           url.host().compare(m_origin.host(), Qt::CaseInsensitive) == 0 &&
           url.port(url.scheme() == QLatin1String("https") ? 443 : 80) ==
               m_origin.port(m_origin.scheme() == QLatin1String("https") ? 443 : 80);
}

CardDavClient::Reply CardDavClient::send(const QByteArray& verb, const QUrl& target, const QByteArray& body,
                                         const Headers& headers)
{
    Reply out;
    out.url = target.adjusted(QUrl::RemoveUserInfo);
    if (DavError refused = checkUrl(out.url)) {
        out.error = refused;
        return out;
    }
    QNetworkRequest request(out.url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setTransferTimeout(m_transferTimeout);
    if (!body.isEmpty())
        request.setRawHeader("Content-Type", "application/xml; charset=utf-8");
    for (const auto& [name, value] : headers)
        request.setRawHeader(name, value);
    // The password goes only to the server it belongs to, never after a redirect elsewhere.
    if (sameOrigin(out.url)) {
        const QByteArray credentials = (m_account.user + QLatin1Char(':') + m_account.password).toUtf8();
        request.setRawHeader("Authorization", "Basic " + credentials.toBase64());
    }

    // Deleted here, not later: a command-line caller may never return to an event loop.
    const std::unique_ptr<QNetworkReply> reply(m_manager->sendCustomRequest(request, verb, body));
    QStringList tlsProblems;
    QObject::connect(reply.get(), &QNetworkReply::sslErrors, reply.get(),
                     [&tlsProblems](const QList<QSslError>& errors) {
                         for (const QSslError& e : errors)
                             tlsProblems << e.errorString();
                     });
    QEventLoop loop;
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (!reply->isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);

    out.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->isOpen()) // not after a timeout
        out.body = reply->readAll();
    out.etag = reply->rawHeader("ETag");
    out.location = reply->rawHeader("Location");
    if (out.status == 0) {
        const QString why =
            tlsProblems.isEmpty() ? reply->errorString() : tlsProblems.join(QLatin1String("; "));
        out.error =
            error(DavError::Kind::Network,
                  QStringLiteral("No answer from the CardDAV server at %1: %2").arg(shown(out.url), why));
    }
    return out;
}

// Follows redirects by hand, so that none leads to plain HTTP or takes the
// password elsewhere. Only discovery's /.well-known/ may move to another server
// (RFC 6764 §5), which then becomes the account's server.
CardDavClient::Reply CardDavClient::sendFollowing(const QByteArray& verb, QUrl url, const QByteArray& body,
                                                  const Headers& headers, bool moveOrigin)
{
    for (int hop = 0;; ++hop) {
        Reply reply = send(verb, url, body, headers);
        if (!reply.isRedirect() || reply.location.isEmpty())
            return reply;
        const QUrl next = url.resolved(QUrl::fromEncoded(reply.location));
        if (hop == redirectLimit) {
            reply.error = error(DavError::Kind::Protocol,
                                QStringLiteral("Too many redirects from %1.").arg(shown(url)));
            return reply;
        }
        if (url.scheme() == QLatin1String("https") && next.scheme() != QLatin1String("https")) {
            reply.error =
                error(DavError::Kind::Refused,
                      QStringLiteral("%1 redirects to plain HTTP (%2).").arg(shown(url), shown(next)));
            return reply;
        }
        if (!sameOrigin(next)) {
            if (!moveOrigin) {
                reply.error = error(
                    DavError::Kind::Refused,
                    QStringLiteral("%1 redirects to another server (%2).").arg(shown(url), shown(next)));
                return reply;
            }
            m_origin = next.adjusted(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment);
        }
        url = next;
    }
}

Result<Discovery> CardDavClient::discover()
{
    Result<Discovery> out;
    Discovery& d = out.value;
    const QUrl start = m_account.url.adjusted(QUrl::RemoveUserInfo);
    if ((out.error = checkUrl(start)))
        return out;
    const QByteArray body = propfindBody("<d:resourcetype/><d:displayname/><d:current-user-principal/>"
                                         "<c:addressbook-home-set/><d:supported-report-set/><d:sync-token/>");
    const Headers depth0{{"Depth", "0"}};

    // A server's root: first its well-known address; a server without one is asked at the root.
    Reply context;
    if (stripped(start.path()).isEmpty()) {
        QUrl wellKnown = start;
        wellKnown.setPath(QStringLiteral("/.well-known/carddav"));
        context = sendFollowing("PROPFIND", wellKnown, body, depth0, true);
        d.wellKnownUsed = context.ok({207});
        if (context.status == 401 || (context.error && context.error.kind != DavError::Kind::Http)) {
            out.error = context.failure("PROPFIND");
            return out;
        }
    }
    if (!d.wellKnownUsed)
        context = sendFollowing("PROPFIND", start, body, depth0, false);
    if (!context.ok({207})) {
        out.error = context.failure("PROPFIND");
        return out;
    }
    d.contextUrl = context.url;
    const auto answer = dav::parseMultiStatus(context.body);
    if (!answer || answer->responses.isEmpty()) {
        out.error = error(DavError::Kind::Protocol,
                          QStringLiteral("%1 is not a WebDAV server's answer.").arg(shown(context.url)));
        return out;
    }
    const dav::Response& here = answer->responses.first();

    // The URL may be an address book already.
    if (isAddressBook(here)) {
        Result<QList<AddressBook>> books = booksIn(context.url, 0);
        out.error = books.error;
        d.books = books.value;
        return out;
    }

    d.principal = hrefOf(here, "DAV:|current-user-principal", context.url);
    d.homeSet = hrefOf(here, "urn:ietf:params:xml:ns:carddav|addressbook-home-set", context.url);
    if (d.homeSet.isEmpty() && !d.principal.isEmpty()) {
        const Reply principal = sendFollowing("PROPFIND", d.principal, body, depth0, false);
        const auto principalAnswer =
            principal.ok({207}) ? dav::parseMultiStatus(principal.body) : std::nullopt;
        if (!principalAnswer || principalAnswer->responses.isEmpty()) {
            out.error = principal.ok({207})
                            ? error(DavError::Kind::Protocol,
                                    QStringLiteral("%1 gave no principal.").arg(shown(principal.url)))
                            : principal.failure("PROPFIND");
            return out;
        }
        d.homeSet = hrefOf(principalAnswer->responses.first(),
                           "urn:ietf:params:xml:ns:carddav|addressbook-home-set", principal.url);
    }
    if (d.homeSet.isEmpty()) {
        out.error =
            error(DavError::Kind::Protocol,
                  QStringLiteral("%1 names no address-book home for this user.").arg(shown(context.url)));
        return out;
    }
    Result<QList<AddressBook>> books = booksIn(d.homeSet, 1);
    out.error = books.error;
    d.books = books.value;
    return out;
}

Result<QList<AddressBook>> CardDavClient::booksIn(const QUrl& collection, int depth)
{
    Result<QList<AddressBook>> out;
    const Reply reply = sendFollowing(
        "PROPFIND", collection,
        propfindBody("<d:resourcetype/><d:displayname/><d:supported-report-set/><d:sync-token/>"),
        {{"Depth", QByteArray::number(depth)}}, false);
    const auto answer = reply.multiStatus("PROPFIND", out.error);
    if (!answer)
        return out;
    for (const dav::Response& r : answer->responses) {
        if (!isAddressBook(r))
            continue;
        AddressBook book;
        book.url = resolve(reply.url, r.href);
        book.displayName = textOf(r, "DAV:|displayname");
        book.syncToken = textOf(r, "DAV:|sync-token");
        book.syncCollection = r.found.value(QStringLiteral("DAV:|supported-report-set"))
                                  .elements.contains(QLatin1String("DAV:|sync-collection"));
        out.value << book;
    }
    return out;
}

Result<QList<CardRef>> CardDavClient::listCards(const QUrl& book)
{
    Result<QList<CardRef>> out;
    const Reply reply = sendFollowing("PROPFIND", book, propfindBody("<d:resourcetype/><d:getetag/>"),
                                      {{"Depth", "1"}}, false);
    const auto answer = reply.multiStatus("PROPFIND", out.error);
    if (!answer)
        return out;
    for (const dav::Response& r : answer->responses) {
        const QUrl url = resolve(reply.url, r.href);
        const QString etag = textOf(r, "DAV:|getetag");
        if (samePath(url, reply.url) || isCollection(r) || etag.isEmpty())
            continue;
        out.value << CardRef{url, etag.toUtf8()};
    }
    return out;
}

Result<Changes> CardDavClient::changesSince(const QUrl& book, const QString& syncToken)
{
    Result<Changes> out;
    const QByteArray body = xmlHeader + "<d:sync-collection" + xmlNamespaces + "><d:sync-token>" +
                            escaped(syncToken) +
                            "</d:sync-token><d:sync-level>1</d:sync-level><d:prop><d:getetag/></d:prop>"
                            "</d:sync-collection>";
    // Depth 0: the sync level gives the scope (RFC 6578 §3.2).
    const Reply reply = sendFollowing("REPORT", book, body, {{"Depth", "0"}}, false);
    if ((reply.status == 403 || reply.status == 409) &&
        dav::namesPrecondition(reply.body, QStringLiteral("DAV:|valid-sync-token"))) {
        out.error = error(DavError::Kind::SyncTokenInvalid,
                          QStringLiteral("The server no longer knows the sync token of %1.").arg(shown(book)),
                          reply.status);
        return out;
    }
    const auto answer = reply.multiStatus("REPORT", out.error);
    if (!answer)
        return out;
    for (const dav::Response& r : answer->responses) {
        const QUrl url = resolve(reply.url, r.href);
        if (samePath(url, reply.url))
            continue;
        if (r.status == 404) {
            out.value.removed << url;
            continue;
        }
        const QString etag = textOf(r, "DAV:|getetag");
        if (!etag.isEmpty() && !isCollection(r))
            out.value.changed << CardRef{url, etag.toUtf8()};
    }
    out.value.syncToken = answer->syncToken;
    return out;
}

Result<QList<Card>> CardDavClient::fetch(const QUrl& book, const QList<QUrl>& urls)
{
    Result<QList<Card>> out;
    for (qsizetype first = 0; first < urls.size(); first += multigetBatch) {
        QByteArray body = xmlHeader + "<c:addressbook-multiget" + xmlNamespaces +
                          "><d:prop><d:getetag/><c:address-data/></d:prop>";
        for (const QUrl& url : urls.mid(first, multigetBatch))
            body += "<d:href>" + escaped(url.path(QUrl::FullyEncoded)) + "</d:href>";
        body += "</c:addressbook-multiget>";
        const Reply reply = sendFollowing("REPORT", book, body, {{"Depth", "1"}}, false);
        const auto answer = reply.multiStatus("REPORT", out.error);
        if (!answer)
            return out;
        for (const dav::Response& r : answer->responses) {
            const auto data =
                r.found.constFind(QStringLiteral("urn:ietf:params:xml:ns:carddav|address-data"));
            if (r.status == 404 || data == r.found.cend())
                continue;
            out.value << Card{resolve(reply.url, r.href), textOf(r, "DAV:|getetag").toUtf8(),
                              cardLines(data->text)};
        }
    }
    return out;
}

Result<QByteArray> CardDavClient::put(const QUrl& card, const QByteArray& vcard, const QByteArray& etag)
{
    Result<QByteArray> out;
    Headers headers{{"Content-Type", "text/vcard; charset=utf-8"}};
    if (etag.isEmpty())
        headers.append(std::pair<QByteArray, QByteArray>("If-None-Match", "*"));
    else
        headers.append(std::pair<QByteArray, QByteArray>("If-Match", etag));
    const Reply reply = sendFollowing("PUT", card, vcard, headers, false);
    if (reply.status == 409 &&
        dav::namesPrecondition(reply.body, QStringLiteral("urn:ietf:params:xml:ns:carddav|no-uid-conflict")))
        out.error =
            error(DavError::Kind::UidConflict,
                  QStringLiteral("Another card of the address book has the UID of %1.").arg(shown(card)),
                  reply.status);
    else if (!reply.ok({200, 201, 204}))
        out.error = reply.failure("PUT");
    else
        out.value = reply.etag;
    return out;
}

DavError CardDavClient::createAddressBook(const QUrl& url, const QString& displayName)
{
    const QByteArray body = xmlHeader + "<d:mkcol" + xmlNamespaces +
                            "><d:set><d:prop><d:resourcetype><d:collection/><c:addressbook/></d:resourcetype>"
                            "<d:displayname>" +
                            escaped(displayName) + "</d:displayname></d:prop></d:set></d:mkcol>";
    const Reply reply = sendFollowing("MKCOL", url, body, {}, false);
    return reply.ok({201}) ? DavError{} : reply.failure("MKCOL");
}

} // namespace davsync
