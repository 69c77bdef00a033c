#include "session/TransactionJournal.h"

#include "common/Clock.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonValue>
#include <QTimeZone>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

TransactionJournal::TransactionJournal(QString path, const Clock *clock,
                                       std::optional<int> utcOffsetSeconds)
    : m_path(std::move(path)), m_clock(clock ? clock : &Clock::system()),
      m_utcOffsetSeconds(utcOffsetSeconds)
{
}

QString TransactionJournal::amountText(double amount)
{
    // Two decimals and '.', whatever the locale.
    return QString::number(amount, 'f', 2);
}

std::optional<qint64> TransactionJournal::amountCents(const QString &amountText)
{
    // Written by amountText: digits, '.', two decimals, perhaps a sign.
    const qsizetype dot = amountText.indexOf(u'.');
    if (dot < 0 || amountText.size() - dot != 3)
        return std::nullopt;
    bool okWhole = false;
    bool okCents = false;
    const qint64 whole = amountText.left(dot).toLongLong(&okWhole);
    const qint64 cents = amountText.mid(dot + 1).toLongLong(&okCents);
    if (!okWhole || !okCents || cents < 0 || amountText.at(dot + 1) == u'-' || amountText.at(dot + 1) == u'+')
        return std::nullopt;
    const bool negative = amountText.startsWith(u'-');
    return whole * 100 + (negative ? -cents : cents);
}

QString TransactionJournal::stamp() const
{
    const QDateTime now = m_clock->now();
    const int offset = m_utcOffsetSeconds ? *m_utcOffsetSeconds : now.offsetFromUtc();
    // The wall time's fields as read, with the offset they are in.
    return QDateTime(now.date(), now.time(), Qt::OffsetFromUTC, offset)
        .toString(Qt::ISODate);
}

bool TransactionJournal::append(QJsonObject entry, const QString &session, const QString &pos,
                                QString *errorText)
{
    entry.insert(QStringLiteral("time"), stamp());
    entry.insert(QStringLiteral("session"), session);
    entry.insert(QStringLiteral("pos"), pos);
    QByteArray line = QJsonDocument(entry).toJson(QJsonDocument::Compact);
    if (m_lastCardPayment) {
        // What the console now knows, whether or not the line reaches the file.
        if (const std::optional<JournalEntry> e = parseLine(line)) {
            std::optional<JournalTransaction> &last = *m_lastCardPayment;
            if (e->event == QLatin1String("sent")) {
                if (isCardPayment(*e))
                    last = JournalTransaction{*e, std::nullopt, std::nullopt};
            } else if (last && last->sent.session == e->session && last->sent.pos == e->pos) {
                addOutcome(*last, *e);
            }
        }
    }
    line.append('\n');

    const QByteArray name = QFile::encodeName(m_path);
    const int fd = ::open(name.constData(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        m_lastError = errno;
        if (errorText)
            *errorText = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    // A line torn by a crash has no LF: the new entry must not run on in it,
    // or it would be lost with the torn one when the journal is read.
    char last = '\n';
    const off_t size = ::lseek(fd, 0, SEEK_END);
    if (size > 0 && ::pread(fd, &last, 1, size - 1) == 1 && last != '\n')
        line.prepend('\n');
    qsizetype done = 0;
    int err = 0;
    while (done < line.size()) {
        const ssize_t n = ::write(fd, line.constData() + done, size_t(line.size() - done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            err = errno;
            break;
        }
        done += n;
    }
    if (!err && ::fsync(fd) != 0)
        err = errno;
    if (::close(fd) != 0 && !err)
        err = errno;
    m_lastError = err;
    if (err) {
        if (errorText)
            *errorText = QString::fromLocal8Bit(std::strerror(err));
        return false;
    }
    return true;
}

bool TransactionJournal::logSent(const QString &session, const QString &pos, const QString &op,
                                 std::optional<double> amount, std::optional<qint64> receipt, QString *errorText)
{
    QJsonObject o{{QStringLiteral("event"), QStringLiteral("sent")}, {QStringLiteral("op"), op}};
    if (amount)
        o.insert(QStringLiteral("amount"), amountText(*amount));
    if (receipt)
        o.insert(QStringLiteral("receipt"), double(*receipt));
    return append(o, session, pos, errorText);
}

bool TransactionJournal::logApproved(const QString &session, const QString &pos, qint64 stan,
                                     QString *errorText)
{
    return append({{QStringLiteral("event"), QStringLiteral("approved")},
                   {QStringLiteral("stan"), double(stan)}},
                  session, pos, errorText);
}

bool TransactionJournal::logDeclined(const QString &session, const QString &pos, const QString &code,
                                     const QString &reason, const QString &text, QString *errorText)
{
    return append({{QStringLiteral("event"), QStringLiteral("declined")},
                   {QStringLiteral("code"), code},
                   {QStringLiteral("reason"), reason},
                   {QStringLiteral("text"), text}},
                  session, pos, errorText);
}

bool TransactionJournal::logUnknown(const QString &session, const QString &pos, const QString &why,
                                    QString *errorText)
{
    return append({{QStringLiteral("event"), QStringLiteral("unknown")},
                   {QStringLiteral("why"), why}},
                  session, pos, errorText);
}

bool TransactionJournal::logResolved(const QString &session, const QString &pos,
                                     const QString &outcome, std::optional<qint64> stan,
                                     QString *errorText)
{
    QJsonObject o{{QStringLiteral("event"), QStringLiteral("resolved")},
                  {QStringLiteral("outcome"), outcome}};
    if (stan)
        o.insert(QStringLiteral("stan"), double(*stan));
    return append(o, session, pos, errorText);
}

std::optional<JournalEntry> TransactionJournal::parseLine(const QByteArray &line)
{
    QJsonParseError err{};
    const QJsonDocument doc = QJsonDocument::fromJson(line, &err);
    if (err.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    const QJsonObject o = doc.object();
    JournalEntry e;
    e.event = o.value(QStringLiteral("event")).toString();
    e.session = o.value(QStringLiteral("session")).toString();
    e.pos = o.value(QStringLiteral("pos")).toString();
    if (e.event.isEmpty() || e.session.isEmpty())
        return std::nullopt;
    e.time = QDateTime::fromString(o.value(QStringLiteral("time")).toString(), Qt::ISODate);
    e.op = o.value(QStringLiteral("op")).toString();
    e.amount = o.value(QStringLiteral("amount")).toString();
    if (o.value(QStringLiteral("receipt")).isDouble())
        e.receipt = qint64(o.value(QStringLiteral("receipt")).toDouble());
    if (o.value(QStringLiteral("stan")).isDouble())
        e.stan = qint64(o.value(QStringLiteral("stan")).toDouble());
    e.code = o.value(QStringLiteral("code")).toString();
    e.reason = o.value(QStringLiteral("reason")).toString();
    e.text = o.value(QStringLiteral("text")).toString();
    e.why = o.value(QStringLiteral("why")).toString();
    e.outcome = o.value(QStringLiteral("outcome")).toString();
    return e;
}

QList<JournalEntry> TransactionJournal::readEntries() const
{
    QList<JournalEntry> out;
    QFile f(m_path);
    if (!f.open(QIODevice::ReadOnly))
        return out;
    const QByteArray all = f.readAll();
    for (const QByteArray &line : all.split('\n')) {
        if (line.trimmed().isEmpty())
            continue;
        if (auto e = parseLine(line))
            out.append(*e);
    }
    return out;
}

QList<JournalTransaction> TransactionJournal::readTransactions() const
{
    QList<JournalTransaction> out;
    for (const JournalEntry &e : readEntries()) {
        if (e.event == QLatin1String("sent")) {
            out.append(JournalTransaction{e, std::nullopt, std::nullopt});
            continue;
        }
        // The newest transaction of that session and position.
        for (qsizetype i = out.size() - 1; i >= 0; --i) {
            JournalTransaction &t = out[i];
            if (t.sent.session != e.session || t.sent.pos != e.pos)
                continue;
            addOutcome(t, e);
            break;
        }
    }
    return out;
}

QList<JournalTransaction> TransactionJournal::lastTransactions(int count) const
{
    const QList<JournalTransaction> all = readTransactions();
    QList<JournalTransaction> out;
    for (qsizetype i = all.size() - 1; i >= 0 && out.size() < count; --i)
        out.append(all[i]);
    return out;
}

QList<JournalTransaction> TransactionJournal::recoverAfterRestart(QString *errorText)
{
    QList<JournalTransaction> closed;
    for (JournalTransaction t : readTransactions()) {
        if (!t.isOpen())
            continue;
        logUnknown(t.sent.session, t.sent.pos, QStringLiteral("restart"), errorText);
        JournalEntry u = t.sent;
        u.event = QStringLiteral("unknown");
        u.why = QStringLiteral("restart");
        t.outcome = u;
        closed.append(t);
    }
    return closed;
}

void TransactionJournal::addOutcome(JournalTransaction &transaction, const JournalEntry &entry)
{
    if (entry.event == QLatin1String("resolved"))
        transaction.resolved = entry;
    else if (!transaction.outcome)
        transaction.outcome = entry;
}

bool TransactionJournal::isCardPayment(const JournalEntry &sent)
{
    return sent.op == QLatin1String("payment") || sent.op == QLatin1String("booking");
}

std::optional<JournalTransaction> TransactionJournal::unresolvedCardPayment() const
{
    if (!m_lastCardPayment) {
        std::optional<JournalTransaction> last;
        const QList<JournalTransaction> all = readTransactions();
        for (qsizetype i = all.size() - 1; i >= 0 && !last; --i) {
            if (isCardPayment(all[i].sent))
                last = all[i];
        }
        m_lastCardPayment = last;
    }
    const std::optional<JournalTransaction> &last = *m_lastCardPayment;
    if (last && last->isInDoubt())
        return last;
    return std::nullopt;
}
