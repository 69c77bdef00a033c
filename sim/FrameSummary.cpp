#include "FrameSummary.h"

#include "SimProtocol.h"

#include "common/Bytes.h"
#include "reports/ReportDecoder.h"

#include "VaroManager.h"

#include <algorithm>

#include <charconv>
#include <cstring>

using namespace Qt::StringLiterals;

namespace Sim {

namespace {

constexpr int kHexShown = 16;   // longer binary values are cut in the log

QString hexOf(const std::string &bytes)
{
    const auto shown = std::min<size_t>(bytes.size(), kHexShown);
    QString text = QString::fromLatin1(QByteArray(bytes.data(), static_cast<qsizetype>(shown)).toHex(' '));
    if (bytes.size() > shown)
        text += QStringLiteral(" ...(%1 bytes)").arg(bytes.size());
    return text;
}

bool isText(const std::string &bytes)
{
    if (bytes.empty())
        return false;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F)
            return false;
    }
    return true;
}

QString quoted(const QString &text)
{
    QString out = text;
    out.replace(u'\\', u"\\\\"_s).replace(u'"', u"\\\""_s);
    return u'"' + out + u'"';
}

QString doubleText(const std::string &bytes)
{
    const double value = DecodeDouble(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);   // shortest, no locale
    return QString::fromLatin1(text, result.ptr - text);
}

int32_t int32Of(const std::string &bytes)
{
    return DecodeInt32(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
}

// A field that holds a whole frame (a receipt, a report record).
int nestedFieldCount(const std::string &bytes)
{
    if (bytes.empty() || static_cast<unsigned char>(bytes[0]) != 0x01)
        return -1;
    VaroManager nested;
    std::string message = bytes;
    std::string remainder;
    if (nested.ProcessMessage(message, remainder) != VaroManager::Parsed || !remainder.empty())
        return -1;
    return nested.getFieldCount();
}

} // namespace

QString maskCard(const std::string &track)
{
    size_t start = 0;
    while (start < track.size()) {
        while (start < track.size() && !std::isdigit(static_cast<unsigned char>(track[start])))
            ++start;
        size_t end = start;
        while (end < track.size() && std::isdigit(static_cast<unsigned char>(track[end])))
            ++end;
        if (end - start >= 12) {
            return QStringLiteral("card[%1 bytes, PAN ...%2]")
                .arg(track.size())
                .arg(QString::fromLatin1(track.data() + end - 4, 4));
        }
        start = end;
    }
    return QStringLiteral("card[%1 bytes]").arg(track.size());
}

QString describeFrame(const VaroManager &frame, const CodePage &codePage)
{
    const std::string code = frame.GetFieldData(VaroMsg::kFieldCode, "?");
    QString line = isText(code) ? codePage.decode(QByteArrayView(code.data(), static_cast<qsizetype>(code.size())))
                                : u'[' + hexOf(code) + u']';
    const bool textIsSecret = code == SimProtocol::wire(VaroMsg::kCardPayment) || code == SimProtocol::wire(VaroMsg::kInputResponse);
    // A report answer may carry tens of thousands of records: they make one
    // entry at the end, "100..399=records[300, 28714 bytes, 12 not frames]".
    const bool isReport = code == SimProtocol::wire(VaroMsg::kReportData);
    int records = 0;
    int notFrames = 0;
    size_t recordBytes = 0;
    int16_t firstRecord = INT16_MAX;
    int16_t lastRecord = 0;
    for (int16_t index = 1; index <= frame.getFieldCount(); ++index) {
        const int16_t id = frame.GetFieldIDByIndex(index);
        if (id == VaroMsg::kFieldCode)
            continue;
        const std::string data = frame.GetFieldDataByIndex(index);
        if (isReport && id > ReportField::kRecordBase) {
            ++records;
            recordBytes += data.size();
            if (nestedFieldCount(data) < 0)
                ++notFrames;
            firstRecord = std::min(firstRecord, id);
            lastRecord = std::max(lastRecord, id);
            continue;
        }
        const QString asText = codePage.decode(QByteArrayView(data.data(), static_cast<qsizetype>(data.size())));
        QString value;
        if (id == VaroMsg::kFieldText && textIsSecret) {
            value = code == SimProtocol::wire(VaroMsg::kCardPayment) ? maskCard(data)
                                                      : QStringLiteral("hidden[%1 bytes]").arg(data.size());
        } else if (id == VaroMsg::kFieldAmount && data.size() == 8) {
            value = doubleText(data);
        } else if (data.empty()) {
            value = u"\"\""_s;
        } else if (data.size() == 1) {
            value = hexOf(data);
        } else if (const int nested = nestedFieldCount(data); nested >= 0) {
            value = QStringLiteral("frame[%1 fields, %2 bytes]").arg(nested).arg(data.size());
        } else if (isText(data)) {
            value = id == VaroMsg::kFieldSession ? asText : quoted(asText);
        } else if (data.size() == 4) {
            value = QStringLiteral("int32 %1").arg(int32Of(data));
        } else {
            value = hexOf(data);
        }
        if (id == VaroMsg::kFieldPos)
            line += u" pos="_s + value;
        else if (id == VaroMsg::kFieldSession)
            line += u" session="_s + value;
        else
            line += u' ' + QString::number(id) + u'=' + value;
    }
    if (records > 0) {
        line += QStringLiteral(" %1..%2=records[%3, %4 bytes").arg(firstRecord).arg(lastRecord).arg(records).arg(recordBytes);
        if (notFrames > 0)
            line += QStringLiteral(", %1 not frames").arg(notFrames);
        line += u']';
    }
    return line;
}

} // namespace Sim
