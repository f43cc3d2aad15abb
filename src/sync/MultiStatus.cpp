#include "sync/MultiStatus.h"

#include <QXmlStreamReader>

namespace davsync::dav {

namespace {

QString nameOf(const QXmlStreamReader& xml)
{
    return xml.namespaceUri().toString() + QLatin1Char('|') + xml.name().toString();
}

const QString href = QStringLiteral("DAV:|href");
const QString status = QStringLiteral("DAV:|status");

// Reads one <prop> whose start tag has just been read: each child element is a property.
void readProp(QXmlStreamReader& xml, QHash<QString, Property>& into)
{
    while (xml.readNextStartElement()) {
        Property& property = into[nameOf(xml)];
        int depth = 1;
        bool inHref = false;
        while (depth > 0 && !xml.atEnd()) {
            switch (xml.readNext()) {
            case QXmlStreamReader::StartElement:
                ++depth;
                property.elements << nameOf(xml);
                inHref = nameOf(xml) == href;
                if (inHref)
                    property.hrefs << QString();
                break;
            case QXmlStreamReader::EndElement:
                --depth;
                inHref = false;
                break;
            case QXmlStreamReader::Characters:
                if (inHref)
                    property.hrefs.last() += xml.text().trimmed();
                else if (depth == 1)
                    property.text += xml.text();
                break;
            default:
                break;
            }
        }
    }
}

void readPropstat(QXmlStreamReader& xml, Response& response)
{
    QHash<QString, Property> props;
    int code = 0;
    while (xml.readNextStartElement()) {
        const QString name = nameOf(xml);
        if (name == QLatin1String("DAV:|prop"))
            readProp(xml, props);
        else if (name == status)
            code = statusCode(xml.readElementText());
        else
            xml.skipCurrentElement();
    }
    if (code >= 200 && code < 300)
        response.found.insert(props);
}

Response readResponse(QXmlStreamReader& xml)
{
    Response response;
    while (xml.readNextStartElement()) {
        const QString name = nameOf(xml);
        if (name == href)
            response.href = xml.readElementText().trimmed();
        else if (name == status)
            response.status = statusCode(xml.readElementText());
        else if (name == QLatin1String("DAV:|propstat"))
            readPropstat(xml, response);
        else
            xml.skipCurrentElement();
    }
    return response;
}

} // namespace

std::optional<MultiStatus> parseMultiStatus(const QByteArray& body)
{
    QXmlStreamReader xml(body);
    if (!xml.readNextStartElement() || nameOf(xml) != QLatin1String("DAV:|multistatus"))
        return std::nullopt;
    MultiStatus out;
    while (xml.readNextStartElement()) {
        const QString name = nameOf(xml);
        if (name == QLatin1String("DAV:|response"))
            out.responses << readResponse(xml);
        else if (name == QLatin1String("DAV:|sync-token"))
            out.syncToken = xml.readElementText().trimmed();
        else
            xml.skipCurrentElement();
    }
    if (xml.hasError())
        return std::nullopt;
    return out;
}

int statusCode(QStringView line)
{
    // "HTTP/1.1 404 Not Found"
    const auto parts = line.trimmed().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    return parts.size() >= 2 ? parts[1].toInt() : 0;
}

bool namesPrecondition(const QByteArray& body, const QString& precondition)
{
    QXmlStreamReader xml(body);
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && nameOf(xml) == precondition)
            return true;
    }
    return false;
}

} // namespace davsync::dav
