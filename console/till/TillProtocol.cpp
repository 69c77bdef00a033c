#include "till/TillProtocol.h"

#include <QStringList>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <QtEndian>

#include <functional>

namespace TillProtocol {

QByteArray frame(const QByteArray &document)
{
    QByteArray out(4, '\0');
    qToBigEndian<quint32>(quint32(document.size()), out.data());
    return out + document;
}

} // namespace TillProtocol

TillFrameReader::Step TillFrameReader::next()
{
    Step step;
    const qsizetype available = m_buffer.size() - m_start;
    if (available < 4)
        return step;
    const quint32 length = qFromBigEndian<quint32>(m_buffer.constData() + m_start);
    if (length > quint32(TillProtocol::kMaxDocument)) {
        step.kind = Step::TooLarge;
        step.announced = length;
        return step;
    }
    if (available - 4 < qsizetype(length))
        return step;
    step.kind = Step::Frame;
    step.document = m_buffer.mid(m_start + 4, length);
    m_start += 4 + qsizetype(length);
    // The consumed front goes once it outweighs what is left, so a stream of
    // small frames never copies the buffer once per frame.
    if (m_start >= m_buffer.size()) {
        m_buffer.clear();
        m_start = 0;
    } else if (m_start > m_buffer.size() / 2) {
        m_buffer.remove(0, m_start);
        m_start = 0;
    }
    return step;
}

namespace {

struct Element {
    int depth;                   // the root is 1
    QStringView name;            // local name
    QStringView parent;          // the parent's local name; empty for the root
    bool ours;                   // in the IXRetail namespace
};

// Walks one document strictly: a DTD, an entity reference, nesting deeper
// than kMaxDepth or anything the parser refuses ends the walk with an error
// text. onStart sees each element's attributes, onEnd its text (the
// character data directly inside it). Returns the error, empty on success.
QString walk(const QByteArray &document,
             const std::function<bool(const Element &, const QXmlStreamAttributes &)> &onStart,
             const std::function<void(const Element &, const QString &)> &onEnd)
{
    QXmlStreamReader xml(document);
    xml.setNamespaceProcessing(true);
    QStringList names;
    QStringList texts;
    while (!xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::DTD:
            return QStringLiteral("a document type declaration is not accepted");
        case QXmlStreamReader::EntityReference:
            return QStringLiteral("an entity reference is not accepted");
        case QXmlStreamReader::StartElement: {
            if (names.size() >= TillProtocol::kMaxDepth)
                return QStringLiteral("elements nested deeper than %1").arg(TillProtocol::kMaxDepth);
            const QString name = xml.name().toString();
            const Element e{int(names.size()) + 1, name,
                            names.isEmpty() ? QStringView() : QStringView(names.last()),
                            xml.namespaceUri() == TillProtocol::kNamespace};
            if (!onStart(e, xml.attributes()))
                return QStringLiteral("the root element is not the expected one");
            names.append(name);
            texts.append(QString());
            break;
        }
        case QXmlStreamReader::Characters:
            if (!texts.isEmpty())
                texts.last() += xml.text();
            break;
        case QXmlStreamReader::EndElement: {
            const QString name = names.takeLast();
            const QString text = texts.takeLast();
            const Element e{int(names.size()) + 1, name,
                            names.isEmpty() ? QStringView() : QStringView(names.last()),
                            xml.namespaceUri() == TillProtocol::kNamespace};
            onEnd(e, text);
            break;
        }
        default:
            break;
        }
    }
    if (xml.hasError())
        return xml.errorString();
    return {};
}

bool is(const Element &e, const char *name, const char *parent = nullptr)
{
    return e.ours && e.name == QLatin1String(name) && (!parent || e.parent == QLatin1String(parent));
}

} // namespace

TillParse ParseTillRequest(const QByteArray &document)
{
    TillParse out;
    TillRequest &r = out.request;
    const QString error = walk(
        document,
        [&](const Element &e, const QXmlStreamAttributes &attributes) {
            if (e.depth == 1) {
                r.requestType = attributes.value(QLatin1String("RequestType")).toString();
                r.applicationSender = attributes.value(QLatin1String("ApplicationSender")).toString();
                r.workstationId = attributes.value(QLatin1String("WorkstationID")).toString();
                r.requestId = attributes.value(QLatin1String("RequestID")).toString();
                out.requestIdRead = attributes.hasAttribute(QLatin1String("RequestID"));
                return is(e, "CardServiceRequest");
            }
            if (is(e, "TotalAmount", "CardServiceRequest") && e.depth == 2)
                r.currency = attributes.value(QLatin1String("Currency")).toString();
            if (is(e, "OriginalTransaction", "CardServiceRequest") && e.depth == 2
                && attributes.hasAttribute(QLatin1String("STAN")))
                r.originalStan = attributes.value(QLatin1String("STAN")).toString();
            return true;
        },
        [&](const Element &e, const QString &text) {
            if (e.depth == 2 && is(e, "TotalAmount"))
                r.amount = text.trimmed();
            else if (e.depth == 3 && is(e, "POSTimeStamp", "POSdata"))
                r.posTimeStamp = text.trimmed();
            else if (e.depth == 3 && is(e, "TransactionNumber", "POSdata"))
                r.transactionNumber = text.trimmed();
        });
    if (!error.isEmpty()) {
        out.status = TillParse::FormatError;
        out.error = error;
        return out;
    }
    out.status = TillParse::Ok;
    return out;
}

std::optional<TillResponse> ParseTillResponse(const QByteArray &document)
{
    TillResponse r;
    const QString error = walk(
        document,
        [&](const Element &e, const QXmlStreamAttributes &attributes) {
            if (e.depth == 1) {
                r.requestType = attributes.value(QLatin1String("RequestType")).toString();
                r.workstationId = attributes.value(QLatin1String("WorkstationID")).toString();
                r.requestId = attributes.value(QLatin1String("RequestID")).toString();
                r.overallResult = attributes.value(QLatin1String("OverallResult")).toString();
                return is(e, "CardServiceResponse");
            }
            if (is(e, "Terminal", "CardServiceResponse")) {
                r.terminalId = attributes.value(QLatin1String("TerminalID")).toString();
                bool ok = false;
                const qint64 stan = attributes.value(QLatin1String("STAN")).toLongLong(&ok);
                if (ok)
                    r.stan = stan;
            }
            if (is(e, "TotalAmount", "Tender"))
                r.currency = attributes.value(QLatin1String("Currency")).toString();
            return true;
        },
        [&](const Element &e, const QString &text) {
            if (is(e, "TotalAmount", "Tender"))
                r.amount = text.trimmed();
            else if (is(e, "Code", "PrivateData"))
                r.code = text;
            else if (is(e, "Reason", "PrivateData"))
                r.reason = text;
            else if (is(e, "Text", "PrivateData"))
                r.text = text;
            else if (is(e, "OutcomeUnknown", "PrivateData"))
                r.outcomeUnknown = text.trimmed() == u"true";
        });
    if (!error.isEmpty())
        return std::nullopt;
    return r;
}

namespace {

QByteArray writeDocument(const std::function<void(QXmlStreamWriter &)> &body)
{
    QByteArray out;
    QXmlStreamWriter xml(&out);
    xml.writeStartDocument();
    xml.writeDefaultNamespace(TillProtocol::kNamespace);
    body(xml);
    xml.writeEndDocument();
    return out;
}

} // namespace

QByteArray TillResponseDocument(const TillResponse &r)
{
    return writeDocument([&](QXmlStreamWriter &xml) {
        const QString ns = TillProtocol::kNamespace;
        xml.writeStartElement(ns, QStringLiteral("CardServiceResponse"));
        xml.writeAttribute(QStringLiteral("RequestType"), r.requestType);
        xml.writeAttribute(QStringLiteral("ApplicationSender"), TillProtocol::kApplicationSender);
        xml.writeAttribute(QStringLiteral("WorkstationID"), r.workstationId);
        xml.writeAttribute(QStringLiteral("RequestID"), r.requestId);
        xml.writeAttribute(QStringLiteral("OverallResult"), r.overallResult);
        xml.writeEmptyElement(ns, QStringLiteral("Terminal"));
        xml.writeAttribute(QStringLiteral("TerminalID"), r.terminalId);
        if (r.stan)
            xml.writeAttribute(QStringLiteral("STAN"), QString::number(*r.stan));
        if (r.amount) {
            xml.writeStartElement(ns, QStringLiteral("Tender"));
            xml.writeStartElement(ns, QStringLiteral("TotalAmount"));
            xml.writeAttribute(QStringLiteral("Currency"), r.currency);
            xml.writeCharacters(*r.amount);
            xml.writeEndElement();
            xml.writeEndElement();
        }
        if (!r.code.isEmpty() || !r.reason.isEmpty() || !r.text.isEmpty() || r.outcomeUnknown) {
            xml.writeStartElement(ns, QStringLiteral("PrivateData"));
            if (r.outcomeUnknown)
                xml.writeTextElement(ns, QStringLiteral("OutcomeUnknown"), QStringLiteral("true"));
            if (!r.code.isEmpty())
                xml.writeTextElement(ns, QStringLiteral("Code"), r.code);
            if (!r.reason.isEmpty())
                xml.writeTextElement(ns, QStringLiteral("Reason"), r.reason);
            if (!r.text.isEmpty())
                xml.writeTextElement(ns, QStringLiteral("Text"), r.text);
            xml.writeEndElement();
        }
        xml.writeEndElement();
    });
}

QByteArray TillRequestDocument(const TillRequest &r)
{
    return writeDocument([&](QXmlStreamWriter &xml) {
        const QString ns = TillProtocol::kNamespace;
        xml.writeStartElement(ns, QStringLiteral("CardServiceRequest"));
        xml.writeAttribute(QStringLiteral("RequestType"), r.requestType);
        xml.writeAttribute(QStringLiteral("ApplicationSender"), r.applicationSender);
        xml.writeAttribute(QStringLiteral("WorkstationID"), r.workstationId);
        xml.writeAttribute(QStringLiteral("RequestID"), r.requestId);
        if (!r.posTimeStamp.isEmpty() || !r.transactionNumber.isEmpty()) {
            xml.writeStartElement(ns, QStringLiteral("POSdata"));
            if (!r.posTimeStamp.isEmpty())
                xml.writeTextElement(ns, QStringLiteral("POSTimeStamp"), r.posTimeStamp);
            if (!r.transactionNumber.isEmpty())
                xml.writeTextElement(ns, QStringLiteral("TransactionNumber"), r.transactionNumber);
            xml.writeEndElement();
        }
        if (r.originalStan) {
            xml.writeEmptyElement(ns, QStringLiteral("OriginalTransaction"));
            xml.writeAttribute(QStringLiteral("STAN"), *r.originalStan);
        }
        if (r.amount) {
            xml.writeStartElement(ns, QStringLiteral("TotalAmount"));
            xml.writeAttribute(QStringLiteral("Currency"), r.currency.isEmpty() ? QStringLiteral("EUR") : r.currency);
            xml.writeCharacters(*r.amount);
            xml.writeEndElement();
        }
        xml.writeEndElement();
    });
}
