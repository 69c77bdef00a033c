#include "session/TransactionJournal.h"

#include "common/Clock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include <sqlite3.h>

#include <sys/stat.h>

namespace {

// Version 2. entries: every entry in the order written; txn is the id of
// the sent entry of its transaction (NULL for an outcome that found none).
// transactions: one row per sent entry (same id), kept in step with its
// entries: state open -> approved | declined | doubt, doubt -> settled.
// workstation and request_id: the till's key of a request it handed over
// (version 2; NULL for a request the cashier typed).
constexpr const char *kSchema = R"sql(
CREATE TABLE entries (
  id INTEGER PRIMARY KEY,
  txn INTEGER,
  event TEXT NOT NULL,
  time TEXT NOT NULL,
  utc INTEGER NOT NULL,
  session TEXT NOT NULL,
  pos TEXT NOT NULL,
  op TEXT, amount TEXT, receipt INTEGER, stan INTEGER,
  code TEXT, reason TEXT, text TEXT, why TEXT, outcome TEXT,
  workstation TEXT, request_id TEXT
);
CREATE INDEX entries_by_utc ON entries(utc);
CREATE TABLE transactions (
  id INTEGER PRIMARY KEY,
  pos TEXT NOT NULL,
  session TEXT NOT NULL,
  op TEXT NOT NULL,
  charge INTEGER NOT NULL,
  cents INTEGER,
  day TEXT NOT NULL,
  wall INTEGER NOT NULL,
  end_wall INTEGER,
  state TEXT NOT NULL,
  stan INTEGER,
  outcome_id INTEGER,
  resolved_id INTEGER,
  workstation TEXT,
  request_id TEXT
);
CREATE INDEX transactions_by_session ON transactions(pos, session, id);
CREATE INDEX transactions_by_state ON transactions(state, pos, id);
CREATE INDEX transactions_by_wall ON transactions(pos, wall);
CREATE INDEX transactions_claimants ON transactions(pos, cents, wall)
  WHERE state IN ('open', 'doubt') OR (state = 'settled' AND stan IS NULL);
CREATE INDEX transactions_by_stan ON transactions(stan, day) WHERE stan IS NOT NULL;
CREATE TABLE meta (key TEXT PRIMARY KEY, value TEXT);
)sql";

// The till's key, and how version 1 becomes version 2. The indexes cover
// only the requests a till handed over.
constexpr const char *kTillIndexes = R"sql(
CREATE INDEX transactions_by_till ON transactions(workstation, request_id) WHERE workstation IS NOT NULL;
CREATE INDEX transactions_by_workstation ON transactions(workstation, id) WHERE workstation IS NOT NULL;
)sql";
constexpr const char *kFromVersion1 = R"sql(
ALTER TABLE entries ADD COLUMN workstation TEXT;
ALTER TABLE entries ADD COLUMN request_id TEXT;
ALTER TABLE transactions ADD COLUMN workstation TEXT;
ALTER TABLE transactions ADD COLUMN request_id TEXT;
)sql";

// The columns of one entry, in the order readEntry() takes them.
constexpr const char *kEntryColumns =
    "time, session, pos, event, op, amount, receipt, stan, code, reason, text, why, outcome, workstation, request_id";
constexpr int kEntryColumnCount = 15;

QString columnText(sqlite3_stmt *st, int col)
{
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(st, col));
    return text ? QString::fromUtf8(text, sqlite3_column_bytes(st, col)) : QString();
}

std::optional<qint64> columnInt(sqlite3_stmt *st, int col)
{
    if (sqlite3_column_type(st, col) == SQLITE_NULL)
        return std::nullopt;
    return sqlite3_column_int64(st, col);
}

// An entry from columns first ... first + kEntryColumnCount - 1; nullopt
// when the entry is absent (a LEFT JOIN that found nothing).
std::optional<JournalEntry> readEntry(sqlite3_stmt *st, int first)
{
    if (sqlite3_column_type(st, first + 3) == SQLITE_NULL)
        return std::nullopt;
    JournalEntry e;
    e.time = QDateTime::fromString(columnText(st, first), Qt::ISODate);
    e.session = columnText(st, first + 1);
    e.pos = columnText(st, first + 2);
    e.event = columnText(st, first + 3);
    e.op = columnText(st, first + 4);
    e.amount = columnText(st, first + 5);
    e.receipt = columnInt(st, first + 6);
    e.stan = columnInt(st, first + 7);
    e.code = columnText(st, first + 8);
    e.reason = columnText(st, first + 9);
    e.text = columnText(st, first + 10);
    e.why = columnText(st, first + 11);
    e.outcome = columnText(st, first + 12);
    e.workstation = columnText(st, first + 13);
    e.requestId = columnText(st, first + 14);
    return e;
}

bool isCharge(const QString &op)
{
    return op == QLatin1String("payment") || op == QLatin1String("booking") || op == QLatin1String("tip")
        || op == QLatin1String("completion");
}

QString transactionQuery(const char *where)
{
    const QString cols = QString::fromLatin1(kEntryColumns);
    auto prefixed = [&](const char *p) {
        QStringList out;
        for (const QString &c : cols.split(QStringLiteral(", ")))
            out << QString::fromLatin1(p) + u'.' + c;
        return out.join(QStringLiteral(", "));
    };
    return QStringLiteral("SELECT t.id, ") + prefixed("s") + QStringLiteral(", ") + prefixed("o")
         + QStringLiteral(", ") + prefixed("r")
         + QStringLiteral(" FROM transactions t JOIN entries s ON s.id = t.id"
                          " LEFT JOIN entries o ON o.id = t.outcome_id"
                          " LEFT JOIN entries r ON r.id = t.resolved_id ")
         + QString::fromLatin1(where);
}

} // namespace

std::optional<qint64> JournalTransaction::knownStan() const
{
    if (resolved && resolved->stan)
        return resolved->stan;
    if (outcome && outcome->event == QLatin1String("approved"))
        return outcome->stan;
    return std::nullopt;
}

// The open database and its statements.
class TransactionJournal::Db {
public:
    ~Db()
    {
        for (auto it = statements.begin(); it != statements.end(); ++it)
            sqlite3_finalize(it.value());
        sqlite3_close(db);
    }

    // A prepared statement, reset and ready to bind; nullptr on failure.
    sqlite3_stmt *statement(const QString &sql)
    {
        sqlite3_stmt *&st = statements[sql];
        if (!st) {
            const QByteArray utf8 = sql.toUtf8();
            if (sqlite3_prepare_v2(db, utf8.constData(), int(utf8.size()), &st, nullptr) != SQLITE_OK) {
                statements.remove(sql);
                return nullptr;
            }
        } else {
            sqlite3_reset(st);
            sqlite3_clear_bindings(st);
        }
        return st;
    }
    bool exec(const char *sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }
    QString error() const { return QString::fromUtf8(sqlite3_errmsg(db)); }

    sqlite3 *db = nullptr;
    QHash<QString, sqlite3_stmt *> statements;
};

namespace {

void bindText(sqlite3_stmt *st, int i, const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    sqlite3_bind_text(st, i, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

void bindOptText(sqlite3_stmt *st, int i, const QString &text)
{
    if (text.isEmpty())
        sqlite3_bind_null(st, i);
    else
        bindText(st, i, text);
}

void bindOptInt(sqlite3_stmt *st, int i, std::optional<qint64> v)
{
    if (v)
        sqlite3_bind_int64(st, i, *v);
    else
        sqlite3_bind_null(st, i);
}

QList<JournalTransaction> readTransactionRows(sqlite3_stmt *st)
{
    QList<JournalTransaction> out;
    if (!st)
        return out;
    while (sqlite3_step(st) == SQLITE_ROW) {
        JournalTransaction t;
        t.id = sqlite3_column_int64(st, 0);
        t.sent = readEntry(st, 1).value_or(JournalEntry{});
        t.outcome = readEntry(st, 1 + kEntryColumnCount);
        t.resolved = readEntry(st, 1 + 2 * kEntryColumnCount);
        out.append(std::move(t));
    }
    sqlite3_reset(st);
    return out;
}

// The first row of a query of at most one transaction.
std::optional<JournalTransaction> firstTransaction(sqlite3_stmt *st)
{
    const QList<JournalTransaction> rows = readTransactionRows(st);
    return rows.isEmpty() ? std::nullopt : std::optional(rows.first());
}

} // namespace

TransactionJournal::TransactionJournal(QString path, const Clock *clock,
                                       std::optional<int> utcOffsetSeconds)
    : m_path(std::move(path)), m_clock(clock ? clock : &Clock::system()),
      m_utcOffsetSeconds(utcOffsetSeconds)
{
}

TransactionJournal::~TransactionJournal() = default;

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

qint64 TransactionJournal::wallSeconds(const QDateTime &time)
{
    return QDateTime(time.date(), time.time(), Qt::UTC).toSecsSinceEpoch();
}

QDateTime TransactionJournal::fromWallSeconds(qint64 seconds)
{
    return QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC);
}

QString TransactionJournal::stamp() const
{
    const QDateTime now = m_clock->now();
    const int offset = m_utcOffsetSeconds ? *m_utcOffsetSeconds : now.offsetFromUtc();
    // The wall time's fields as read, with the offset they are in.
    return QDateTime(now.date(), now.time(), Qt::OffsetFromUTC, offset).toString(Qt::ISODate);
}

bool TransactionJournal::fail(const QString &what, QString *errorText) const
{
    m_lastErrorText = what;
    if (errorText)
        *errorText = what;
    return false;
}

bool TransactionJournal::ensureOpen(QString *errorText) const
{
    if (m_db)
        return true;
    const QFileInfo info(m_path);
    if (!QDir().mkpath(info.absolutePath()))
        return fail(QStringLiteral("cannot make the folder ") + info.absolutePath(), errorText);
    const bool existed = info.exists();
    auto db = std::make_unique<Db>();
    const QByteArray name = QFile::encodeName(m_path);
    if (sqlite3_open_v2(name.constData(), &db->db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr)
        != SQLITE_OK) {
        const QString why = db->db ? db->error() : QStringLiteral("out of memory");
        return fail(m_path + QStringLiteral(": ") + why, errorText);
    }
    // Every cashier of the till writes the journal: group-writable, as the
    // store is (the store's folder hands its group down).
    if (!existed)
        ::chmod(name.constData(), 0664);
    sqlite3_busy_timeout(db->db, kBusyTimeoutMs);
    sqlite3_extended_result_codes(db->db, 1);
    if (!db->exec("PRAGMA journal_mode=WAL") || !db->exec("PRAGMA synchronous=FULL"))
        return fail(m_path + QStringLiteral(": ") + db->error(), errorText);

    auto schemaVersion = [&db] {
        int version = 0;
        if (sqlite3_stmt *st = db->statement(QStringLiteral("PRAGMA user_version"))) {
            if (sqlite3_step(st) == SQLITE_ROW)
                version = sqlite3_column_int(st, 0);
            sqlite3_reset(st);
        }
        return version;
    };
    const int version = schemaVersion();
    if (version > kSchemaVersion) {
        return fail(m_path + QStringLiteral(": schema version %1 is newer than this console's %2")
                                 .arg(version)
                                 .arg(kSchemaVersion),
                    errorText);
    }
    if (version < kSchemaVersion) {
        // Two consoles may meet here on a new till: the first one makes it.
        if (!db->exec("BEGIN IMMEDIATE"))
            return fail(m_path + QStringLiteral(": ") + db->error(), errorText);
        const int found = schemaVersion();
        if (found < kSchemaVersion) {
            const QByteArray setVersion = "PRAGMA user_version=" + QByteArray::number(kSchemaVersion);
            // A journal of version 1 keeps every entry; its requests have no
            // till key, as none was handed over then.
            const bool made = found == 0 ? db->exec(kSchema) : db->exec(kFromVersion1);
            if (!made || !db->exec(kTillIndexes) || !db->exec(setVersion.constData())) {
                const QString why = db->error();
                db->exec("ROLLBACK");
                return fail(m_path + QStringLiteral(": ") + why, errorText);
            }
        }
        if (!db->exec("COMMIT")) {
            const QString why = db->error();
            db->exec("ROLLBACK");
            return fail(m_path + QStringLiteral(": ") + why, errorText);
        }
    }
    m_db = std::move(db);
    return true;
}

bool TransactionJournal::append(JournalEntry e, QString *errorText, bool onlyIfInDoubt, qint64 txnId)
{
    if (!ensureOpen(errorText))
        return false;
    Db &db = *m_db;
    if (e.time.isNull())
        e.time = QDateTime::fromString(stamp(), Qt::ISODate);
    const QString timeText = e.time.toString(Qt::ISODate);

    if (!m_bulk && !db.exec("BEGIN IMMEDIATE"))
        return fail(db.error(), errorText);
    auto rollback = [&](const QString &why) {
        if (!m_bulk)
            db.exec("ROLLBACK");
        return fail(why, errorText);
    };

    // The transaction the entry belongs to: its own for a sent entry, the
    // given one for a resolution, else the newest of that session and position.
    if (e.event != QLatin1String("sent") && txnId == 0) {
        sqlite3_stmt *st = db.statement(QStringLiteral(
            "SELECT id FROM transactions WHERE pos = ?1 AND session = ?2 ORDER BY id DESC LIMIT 1"));
        if (!st)
            return rollback(db.error());
        bindText(st, 1, e.pos);
        bindText(st, 2, e.session);
        if (sqlite3_step(st) == SQLITE_ROW)
            txnId = sqlite3_column_int64(st, 0);
        sqlite3_reset(st);
    }
    QString state;
    std::optional<qint64> outcomeId;
    if (txnId != 0) {
        sqlite3_stmt *st = db.statement(QStringLiteral("SELECT state, outcome_id FROM transactions WHERE id = ?1"));
        if (!st)
            return rollback(db.error());
        sqlite3_bind_int64(st, 1, txnId);
        if (sqlite3_step(st) == SQLITE_ROW) {
            state = columnText(st, 0);
            outcomeId = columnInt(st, 1);
        }
        sqlite3_reset(st);
    }
    // An open row outside a session is a doubt whose unknown entry could not
    // be written.
    if (onlyIfInDoubt && state != QLatin1String("doubt") && state != QLatin1String("open")) {
        // Settled meanwhile (another console, an earlier answer): nothing to
        // write, and no failure of the journal.
        if (!m_bulk)
            db.exec("ROLLBACK");
        m_lastErrorText.clear();
        if (errorText)
            *errorText = QStringLiteral("the transaction is no longer in doubt");
        return false;
    }

    sqlite3_stmt *ins = db.statement(QStringLiteral(
        "INSERT INTO entries (txn, event, time, utc, session, pos, op, amount, receipt, stan, code, reason, text, "
        "why, outcome, workstation, request_id) "
        "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16, ?17)"));
    if (!ins)
        return rollback(db.error());
    if (txnId != 0)
        sqlite3_bind_int64(ins, 1, txnId);
    bindText(ins, 2, e.event);
    bindText(ins, 3, timeText);
    sqlite3_bind_int64(ins, 4, e.time.toSecsSinceEpoch());
    bindText(ins, 5, e.session);
    bindText(ins, 6, e.pos);
    bindOptText(ins, 7, e.op);
    bindOptText(ins, 8, e.amount);
    bindOptInt(ins, 9, e.receipt);
    bindOptInt(ins, 10, e.stan);
    bindOptText(ins, 11, e.code);
    bindOptText(ins, 12, e.reason);
    bindOptText(ins, 13, e.text);
    bindOptText(ins, 14, e.why);
    bindOptText(ins, 15, e.outcome);
    bindOptText(ins, 16, e.workstation);
    bindOptText(ins, 17, e.requestId);
    if (sqlite3_step(ins) != SQLITE_DONE)
        return rollback(db.error());
    sqlite3_reset(ins);
    const qint64 entryId = sqlite3_last_insert_rowid(db.db);

    sqlite3_stmt *upd = nullptr;
    if (e.event == QLatin1String("sent")) {
        upd = db.statement(QStringLiteral("UPDATE entries SET txn = ?1 WHERE id = ?1"));
        if (!upd)
            return rollback(db.error());
        sqlite3_bind_int64(upd, 1, entryId);
        if (sqlite3_step(upd) != SQLITE_DONE)
            return rollback(db.error());
        upd = db.statement(QStringLiteral(
            "INSERT INTO transactions (id, pos, session, op, charge, cents, day, wall, state, workstation, request_id) "
            "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, 'open', ?9, ?10)"));
        if (!upd)
            return rollback(db.error());
        sqlite3_bind_int64(upd, 1, entryId);
        bindText(upd, 2, e.pos);
        bindText(upd, 3, e.session);
        bindText(upd, 4, e.op);
        sqlite3_bind_int(upd, 5, isCharge(e.op) ? 1 : 0);
        bindOptInt(upd, 6, amountCents(e.amount));
        bindText(upd, 7, e.time.date().toString(Qt::ISODate));
        sqlite3_bind_int64(upd, 8, wallSeconds(e.time));
        bindOptText(upd, 9, e.workstation);
        bindOptText(upd, 10, e.requestId);
    } else if (txnId != 0 && !state.isEmpty()) {
        const bool conflict = e.event == QLatin1String("unknown") && e.why == QLatin1String("conflict");
        if (e.event == QLatin1String("resolved")) {
            upd = db.statement(QStringLiteral(
                "UPDATE transactions SET resolved_id = ?2, state = 'settled', stan = ?3 WHERE id = ?1"));
            if (upd)
                bindOptInt(upd, 3, e.stan);
        } else if (!outcomeId || conflict) {
            upd = db.statement(QStringLiteral(
                "UPDATE transactions SET outcome_id = ?2, end_wall = ?3, state = ?4, stan = ?5 WHERE id = ?1"));
            if (upd) {
                sqlite3_bind_int64(upd, 3, wallSeconds(e.time));
                const char *next = e.event == QLatin1String("approved")   ? "approved"
                                 : e.event == QLatin1String("declined") ? "declined"
                                                                        : "doubt";
                sqlite3_bind_text(upd, 4, next, -1, SQLITE_STATIC);
                bindOptInt(upd, 5, e.event == QLatin1String("approved") ? e.stan : std::nullopt);
            }
        } else {
            // A second outcome that contradicts nothing (the caller writes a
            // conflict for one that does): the first stands.
        }
        if (upd) {
            sqlite3_bind_int64(upd, 1, txnId);
            sqlite3_bind_int64(upd, 2, entryId);
        } else if (e.event == QLatin1String("resolved") || !outcomeId || conflict) {
            return rollback(db.error());
        }
    }
    if (upd && sqlite3_step(upd) != SQLITE_DONE)
        return rollback(db.error());
    if (upd)
        sqlite3_reset(upd);

    if (!m_bulk && !db.exec("COMMIT"))
        return rollback(db.error());
    m_lastErrorText.clear();
    return true;
}

namespace {

JournalEntry entry(const QString &event, const QString &session, const QString &pos)
{
    JournalEntry e;
    e.event = event;
    e.session = session;
    e.pos = pos;
    return e;
}

} // namespace

bool TransactionJournal::logSent(const QString &session, const QString &pos, const QString &op,
                                 std::optional<double> amount, std::optional<qint64> receipt, QString *errorText)
{
    return logSent(session, pos, op, amount, receipt, TillKey{}, errorText);
}

bool TransactionJournal::logSent(const QString &session, const QString &pos, const QString &op,
                                 std::optional<double> amount, std::optional<qint64> receipt, const TillKey &key,
                                 QString *errorText)
{
    JournalEntry e = entry(QStringLiteral("sent"), session, pos);
    e.op = op;
    if (amount)
        e.amount = amountText(*amount);
    e.receipt = receipt;
    if (!key.isEmpty()) {
        e.workstation = key.workstation;
        e.requestId = key.requestId;
    }
    return append(e, errorText);
}

bool TransactionJournal::logApproved(const QString &session, const QString &pos, qint64 stan, QString *errorText)
{
    JournalEntry e = entry(QStringLiteral("approved"), session, pos);
    e.stan = stan;
    return append(e, errorText);
}

bool TransactionJournal::logDeclined(const QString &session, const QString &pos, const QString &code,
                                     const QString &reason, const QString &text, QString *errorText)
{
    JournalEntry e = entry(QStringLiteral("declined"), session, pos);
    e.code = code;
    e.reason = reason;
    e.text = text;
    return append(e, errorText);
}

bool TransactionJournal::logUnknown(const QString &session, const QString &pos, const QString &why,
                                    QString *errorText)
{
    JournalEntry e = entry(QStringLiteral("unknown"), session, pos);
    e.why = why;
    return append(e, errorText);
}

bool TransactionJournal::logConflict(const QString &session, const QString &pos, QString *errorText)
{
    return logUnknown(session, pos, QStringLiteral("conflict"), errorText);
}

bool TransactionJournal::logResolved(const JournalTransaction &transaction, const QString &outcome,
                                     std::optional<qint64> stan, QString *errorText)
{
    JournalEntry e = entry(QStringLiteral("resolved"), transaction.sent.session, transaction.sent.pos);
    e.outcome = outcome;
    e.stan = stan;
    return append(e, errorText, true, transaction.id);
}

QList<JournalTransaction> TransactionJournal::lastTransactions(int count) const
{
    if (!ensureOpen(nullptr))
        return {};
    sqlite3_stmt *st = m_db->statement(transactionQuery("ORDER BY t.id DESC LIMIT ?1"));
    if (st)
        sqlite3_bind_int(st, 1, count);
    return readTransactionRows(st);
}

std::optional<JournalTransaction> TransactionJournal::transaction(qint64 id) const
{
    if (!ensureOpen(nullptr))
        return std::nullopt;
    sqlite3_stmt *st = m_db->statement(transactionQuery("WHERE t.id = ?1"));
    if (st)
        sqlite3_bind_int64(st, 1, id);
    return firstTransaction(st);
}

std::optional<JournalTransaction> TransactionJournal::transactionOfTillKey(const TillKey &key) const
{
    if (key.isEmpty() || !ensureOpen(nullptr))
        return std::nullopt;
    sqlite3_stmt *st = m_db->statement(
        transactionQuery("WHERE t.workstation = ?1 AND t.request_id = ?2 ORDER BY t.id DESC LIMIT 1"));
    if (st) {
        bindText(st, 1, key.workstation);
        bindText(st, 2, key.requestId);
    }
    return firstTransaction(st);
}

std::optional<JournalTransaction> TransactionJournal::lastOfWorkstation(const QString &workstation) const
{
    if (workstation.isEmpty() || !ensureOpen(nullptr))
        return std::nullopt;
    sqlite3_stmt *st = m_db->statement(transactionQuery("WHERE t.workstation = ?1 ORDER BY t.id DESC LIMIT 1"));
    if (st)
        bindText(st, 1, workstation);
    return firstTransaction(st);
}

std::optional<JournalTransaction> TransactionJournal::chargeWithStan(const QString &pos, qint64 stan) const
{
    if (!ensureOpen(nullptr))
        return std::nullopt;
    sqlite3_stmt *st = m_db->statement(
        transactionQuery("WHERE t.stan = ?1 AND t.pos = ?2 AND t.charge = 1 ORDER BY t.id DESC LIMIT 1"));
    if (st) {
        sqlite3_bind_int64(st, 1, stan);
        bindText(st, 2, pos);
    }
    return firstTransaction(st);
}

QList<JournalTransaction> TransactionJournal::recoverAfterRestart(QString *errorText)
{
    if (!ensureOpen(errorText))
        return {};
    sqlite3_stmt *st = m_db->statement(transactionQuery("WHERE t.state = 'open' ORDER BY t.id"));
    const QList<JournalTransaction> open = readTransactionRows(st);
    QList<JournalTransaction> closed;
    QString failure;
    for (const JournalTransaction &t : open) {
        JournalEntry u = entry(QStringLiteral("unknown"), t.sent.session, t.sent.pos);
        u.why = QStringLiteral("restart");
        if (!append(u, errorText, false, t.id)) {
            failure = m_lastErrorText;
            closed.append(t);   // in doubt all the same; the row stays open
            continue;
        }
        if (std::optional<JournalTransaction> now = transaction(t.id))
            closed.append(*now);
    }
    // One failed entry is a failure of the whole recovery, whatever came after.
    if (!failure.isEmpty())
        m_lastErrorText = failure;
    return closed;
}

std::optional<JournalTransaction> TransactionJournal::unresolvedCharge() const
{
    if (!ensureOpen(nullptr))
        return std::nullopt;
    sqlite3_stmt *st = m_db->statement(
        transactionQuery("WHERE t.state IN ('open', 'doubt') AND t.charge = 1 ORDER BY t.id DESC LIMIT 1"));
    return firstTransaction(st);
}

QList<JournalTransaction> TransactionJournal::approvalsBetween(const QString &pos, const QDateTime &fromWall,
                                                               const QDateTime &toWall) const
{
    if (!ensureOpen(nullptr))
        return {};
    sqlite3_stmt *st = m_db->statement(transactionQuery(
        "WHERE t.pos = ?1 AND t.wall BETWEEN ?2 AND ?3 AND t.state = 'approved' ORDER BY t.id"));
    if (st) {
        bindText(st, 1, pos);
        sqlite3_bind_int64(st, 2, wallSeconds(fromWall));
        sqlite3_bind_int64(st, 3, wallSeconds(toWall));
    }
    return readTransactionRows(st);
}

QList<JournalTransaction> TransactionJournal::withStanOnDay(const QString &pos, qint64 stan, const QDate &day,
                                                            qint64 exceptId) const
{
    if (!ensureOpen(nullptr))
        return {};
    sqlite3_stmt *st = m_db->statement(
        transactionQuery("WHERE t.stan = ?1 AND t.day = ?2 AND t.pos = ?3 AND t.id <> ?4 ORDER BY t.id"));
    if (st) {
        sqlite3_bind_int64(st, 1, stan);
        bindText(st, 2, day.toString(Qt::ISODate));
        bindText(st, 3, pos);
        sqlite3_bind_int64(st, 4, exceptId);
    }
    return readTransactionRows(st);
}

QList<JournalTransaction> TransactionJournal::claimantsBetween(const QString &pos, qint64 cents,
                                                               const QDateTime &fromWall, const QDateTime &toWall,
                                                               qint64 exceptId) const
{
    if (!ensureOpen(nullptr))
        return {};
    // A transaction overlaps when it went out before the window's end and
    // ended (or, open, may end) after its start.
    sqlite3_stmt *st = m_db->statement(transactionQuery(
        "WHERE t.pos = ?1 AND t.cents = ?2 AND t.wall <= ?4 AND COALESCE(t.end_wall, t.wall) >= ?3"
        " AND t.id <> ?5 AND t.charge = 1"
        " AND (t.state IN ('open', 'doubt') OR (t.state = 'settled' AND t.stan IS NULL)) ORDER BY t.id"));
    // transactions_claimants holds only the rows that could claim a record,
    // so the scan below its (pos, cents) prefix is over doubts, not history.
    if (st) {
        bindText(st, 1, pos);
        sqlite3_bind_int64(st, 2, cents);
        sqlite3_bind_int64(st, 3, wallSeconds(fromWall));
        sqlite3_bind_int64(st, 4, wallSeconds(toWall));
        sqlite3_bind_int64(st, 5, exceptId);
    }
    return readTransactionRows(st);
}

QByteArray TransactionJournal::jsonLine(const JournalEntry &e)
{
    QJsonObject o{{QStringLiteral("event"), e.event},
                  {QStringLiteral("time"), e.time.toString(Qt::ISODate)},
                  {QStringLiteral("session"), e.session},
                  {QStringLiteral("pos"), e.pos}};
    auto text = [&](const char *key, const QString &value) {
        if (!value.isEmpty())
            o.insert(QLatin1String(key), value);
    };
    text("op", e.op);
    text("amount", e.amount);
    if (e.receipt)
        o.insert(QStringLiteral("receipt"), double(*e.receipt));
    if (e.stan)
        o.insert(QStringLiteral("stan"), double(*e.stan));
    if (e.event == QLatin1String("declined")) {
        o.insert(QStringLiteral("code"), e.code);
        o.insert(QStringLiteral("reason"), e.reason);
        o.insert(QStringLiteral("text"), e.text);
    }
    text("why", e.why);
    text("outcome", e.outcome);
    text("workstation", e.workstation);
    text("request", e.requestId);
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QByteArray TransactionJournal::entriesAsJsonLines(const QDateTime &since) const
{
    QByteArray out;
    if (!ensureOpen(nullptr))
        return out;
    sqlite3_stmt *st = m_db->statement(QStringLiteral("SELECT ") + QString::fromLatin1(kEntryColumns)
                                       + QStringLiteral(" FROM entries WHERE utc >= ?1 ORDER BY id"));
    if (!st)
        return out;
    sqlite3_bind_int64(st, 1, since.toSecsSinceEpoch());
    while (sqlite3_step(st) == SQLITE_ROW) {
        if (std::optional<JournalEntry> e = readEntry(st, 0))
            out += jsonLine(*e) + '\n';
    }
    sqlite3_reset(st);
    return out;
}

QList<JournalEntry> TransactionJournal::readEntries() const
{
    QList<JournalEntry> out;
    if (!ensureOpen(nullptr))
        return out;
    sqlite3_stmt *st = m_db->statement(QStringLiteral("SELECT ") + QString::fromLatin1(kEntryColumns)
                                       + QStringLiteral(" FROM entries ORDER BY id"));
    if (!st)
        return out;
    while (sqlite3_step(st) == SQLITE_ROW) {
        if (std::optional<JournalEntry> e = readEntry(st, 0))
            out.append(*e);
    }
    sqlite3_reset(st);
    return out;
}

QList<JournalTransaction> TransactionJournal::readTransactions() const
{
    if (!ensureOpen(nullptr))
        return {};
    return readTransactionRows(m_db->statement(transactionQuery("ORDER BY t.id")));
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
    e.workstation = o.value(QStringLiteral("workstation")).toString();
    e.requestId = o.value(QStringLiteral("request")).toString();
    return e;
}

int TransactionJournal::importJsonLines(const QByteArray &lines, QString *errorText)
{
    static const QStringList kEvents = {QStringLiteral("sent"), QStringLiteral("approved"),
                                        QStringLiteral("declined"), QStringLiteral("unknown"),
                                        QStringLiteral("resolved")};
    if (!beginBulk(errorText))
        return -1;
    int imported = 0;
    for (const QByteArray &line : lines.split('\n')) {
        if (line.trimmed().isEmpty())
            continue;
        std::optional<JournalEntry> e = parseLine(line);
        // A line torn by a crash, or one without a time: not an entry.
        if (!e || !e->time.isValid() || !kEvents.contains(e->event))
            continue;
        qint64 txn = 0;
        if (e->event == QLatin1String("resolved")) {
            // The old journal named the transaction by session and position.
            sqlite3_stmt *st = m_db->statement(QStringLiteral(
                "SELECT id FROM transactions WHERE pos = ?1 AND session = ?2 ORDER BY id DESC LIMIT 1"));
            if (st) {
                bindText(st, 1, e->pos);
                bindText(st, 2, e->session);
                if (sqlite3_step(st) == SQLITE_ROW)
                    txn = sqlite3_column_int64(st, 0);
                sqlite3_reset(st);
            }
            if (txn == 0)
                continue;
        }
        if (!append(*e, errorText, false, txn)) {
            m_db->exec("ROLLBACK");
            m_bulk = false;
            return -1;
        }
        ++imported;
    }
    if (!commitBulk(errorText))
        return -1;
    return imported;
}

bool TransactionJournal::beginBulk(QString *errorText)
{
    if (!ensureOpen(errorText))
        return false;
    if (!m_db->exec("BEGIN IMMEDIATE"))
        return fail(m_db->error(), errorText);
    m_bulk = true;
    return true;
}

bool TransactionJournal::commitBulk(QString *errorText)
{
    m_bulk = false;
    if (!m_db || !m_db->exec("COMMIT")) {
        const QString why = m_db ? m_db->error() : QStringLiteral("not open");
        if (m_db)
            m_db->exec("ROLLBACK");
        return fail(why, errorText);
    }
    return true;
}

bool TransactionJournal::lastRunEndedAbnormally() const
{
    if (!ensureOpen(nullptr))
        return false;
    sqlite3_stmt *st = m_db->statement(QStringLiteral("SELECT value FROM meta WHERE key = 'run'"));
    bool running = false;
    if (st) {
        if (sqlite3_step(st) == SQLITE_ROW)
            running = columnText(st, 0) == QLatin1String("running");
        sqlite3_reset(st);
    }
    return running;
}

bool TransactionJournal::setRunState(const char *state, QString *errorText)
{
    if (!ensureOpen(errorText))
        return false;
    sqlite3_stmt *st = m_db->statement(QStringLiteral(
        "INSERT INTO meta (key, value) VALUES ('run', ?1) ON CONFLICT(key) DO UPDATE SET value = excluded.value"));
    if (!st)
        return fail(m_db->error(), errorText);
    sqlite3_bind_text(st, 1, state, -1, SQLITE_STATIC);
    const bool ok = sqlite3_step(st) == SQLITE_DONE;
    sqlite3_reset(st);
    return ok || fail(m_db->error(), errorText);
}

bool TransactionJournal::markRunning(QString *errorText)
{
    return setRunState("running", errorText);
}

bool TransactionJournal::markEnded(QString *errorText)
{
    return setRunState("ended", errorText);
}
