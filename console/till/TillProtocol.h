// The till hand-off's wire: the cash register (the till) is the client, the
// console the server, on 127.0.0.1. Each message is one frame:
//
//   4 bytes   the document's length in bytes, big-endian, at most 64 KiB
//   N bytes   one XML document, UTF-8 (or ISO-8859-1 when its declaration
//             says so)
//
// The documents are the POS-EPS card-service messages of the IXRetail
// namespace: a CardServiceRequest with RequestType, ApplicationSender,
// WorkstationID and RequestID on its root, answered by a
// CardServiceResponse that echoes them with ApplicationSender="Tellar" and
// gives OverallResult.
//
// This file is the codec alone (QtCore only): the console's listener and
// tellar-pay both speak through it, and the fuzz target feeds it. Reading is
// strict: a frame is read by its length whatever the read sizes; a document
// with a DTD (and so any entity declaration), nesting deeper than 32 or XML
// that does not parse is a format error; nothing in a document is ever
// fetched or expanded.
#pragma once

#include <QByteArray>
#include <QLatin1String>
#include <QString>

#include <optional>

namespace TillProtocol {

inline constexpr QLatin1String kNamespace("http://www.nrf-arts.org/IXRetail/namespace");
inline constexpr QLatin1String kApplicationSender("Tellar");
inline constexpr qsizetype kMaxDocument = 64 * 1024;
inline constexpr int kMaxDepth = 32;
// WorkstationID and RequestID: the till's key of a request, at most this long.
inline constexpr qsizetype kMaxKeyLength = 64;

// RequestType values.
inline constexpr QLatin1String kCardPayment("CardPayment");
inline constexpr QLatin1String kBooking("Booking");
inline constexpr QLatin1String kPaymentReversal("PaymentReversal");
inline constexpr QLatin1String kAbortRequest("AbortRequest");
inline constexpr QLatin1String kRepeatLastMessage("RepeatLastMessage");

// OverallResult values.
inline constexpr QLatin1String kSuccess("Success");
inline constexpr QLatin1String kFailure("Failure");
inline constexpr QLatin1String kAborted("Aborted");
inline constexpr QLatin1String kBusy("Busy");
inline constexpr QLatin1String kValidationError("ValidationError");
inline constexpr QLatin1String kFormatError("FormatError");
inline constexpr QLatin1String kTimedOut("TimedOut");

// The length prefix and the document.
QByteArray frame(const QByteArray &document);

} // namespace TillProtocol

// Cuts frames out of the bytes of one connection, however they arrive.
class TillFrameReader {
public:
    struct Step {
        enum Kind {
            NeedMore,   // no whole frame yet
            Frame,      // `document` is the next frame's document
            TooLarge,   // the announced length is over 64 KiB: the stream
                        // cannot be followed any further
        };
        Kind kind = NeedMore;
        QByteArray document;
        quint32 announced = 0;   // TooLarge: the length the prefix gave
    };

    void append(const QByteArray &bytes) { m_buffer += bytes; }
    Step next();
    qsizetype buffered() const { return m_buffer.size() - m_start; }

private:
    QByteArray m_buffer;
    qsizetype m_start = 0;
};

struct TillRequest {
    QString requestType;
    QString applicationSender;
    QString workstationId;
    QString requestId;
    QString posTimeStamp;        // POSdata/POSTimeStamp
    QString transactionNumber;   // POSdata/TransactionNumber: the till's receipt
    // TotalAmount (a child of the request) as written, and its Currency.
    std::optional<QString> amount;
    QString currency;
    // OriginalTransaction's STAN (PaymentReversal).
    std::optional<QString> originalStan;
};

struct TillParse {
    enum Status {
        Ok,
        FormatError,   // not a readable request; `request` holds what the
                       // root gave (its RequestID, when that could be read)
    };
    Status status = FormatError;
    TillRequest request;
    bool requestIdRead = false;
    QString error;     // why, for the log
};

TillParse ParseTillRequest(const QByteArray &document);

struct TillResponse {
    QString requestType;
    QString workstationId;
    QString requestId;
    QString overallResult;
    QString terminalId;
    std::optional<qint64> stan;
    std::optional<QString> amount;   // Tender/TotalAmount, as "12.50"
    QString currency = QStringLiteral("EUR");
    // PrivateData: the server's decline, or why the console refused.
    QString code, reason, text;
    bool outcomeUnknown = false;
};

QByteArray TillResponseDocument(const TillResponse &response);
// The till's side (tellar-pay, tests): nullopt when the document is not a
// readable CardServiceResponse.
std::optional<TillResponse> ParseTillResponse(const QByteArray &document);
QByteArray TillRequestDocument(const TillRequest &request);
