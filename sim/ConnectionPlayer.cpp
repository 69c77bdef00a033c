#include "ConnectionPlayer.h"

#include "FrameSummary.h"
#include "Ledger.h"
#include "SimLog.h"
#include "SimProtocol.h"

#include "common/Bytes.h"
#include "common/Helpers.h"

#include "VaroFrameFormat.h"

#include <QTcpSocket>

#include <charconv>

#include <sys/socket.h>

using namespace Qt::StringLiterals;

namespace Sim {

namespace {

constexpr size_t kMaxInbox = 1000;   // frames nobody waits for are dropped beyond this

QString codeOf(const VaroManager &frame)
{
    const std::string code = frame.GetFieldData(VaroMsg::kFieldCode);
    return QString::fromLatin1(code.data(), static_cast<qsizetype>(code.size()));
}

template <class... Ts>
struct Overloaded : Ts... {
    using Ts::operator()...;
};
// Aggregate deduction is C++20, but clang 14 (the fuzz build's compiler)
// does not do it yet: the guide says it.
template <class... Ts>
Overloaded(Ts...) -> Overloaded<Ts...>;

} // namespace

ConnectionPlayer::ConnectionPlayer(QTcpSocket *socket, const ConnectionScript &script, int number,
                                   const CodePage &codePage, SimLog &log, QObject *parent)
    : QObject(parent), m_socket(socket), m_script(script), m_number(number), m_codePage(codePage),
      m_log(log), m_steps(&script.steps)
{
    m_socket->setParent(this);
    // Coarse timers may fire up to 5 % early; a scenario's "silent for 300 ms"
    // should mean at least that.
    m_deadline.setTimerType(Qt::PreciseTimer);
    m_ticker.setTimerType(Qt::PreciseTimer);
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        if (auto action = m_onDeadline)
            action();
    });
    connect(&m_ticker, &QTimer::timeout, this, [this] {
        if (auto action = m_onTick)
            action();
    });
}

ConnectionPlayer::~ConnectionPlayer()
{
    if (m_socket)
        m_socket->disconnect(this);
}

void ConnectionPlayer::setLedger(Ledger *ledger)
{
    m_ledger = ledger;
    m_context.ledger = ledger;
}

void ConnectionPlayer::start()
{
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    connect(m_socket, &QTcpSocket::readyRead, this, &ConnectionPlayer::readIncoming);
    connect(m_socket, &QTcpSocket::disconnected, this, &ConnectionPlayer::onDisconnected);
    connect(m_socket, &QTcpSocket::bytesWritten, this, [this] {
        if (auto action = m_onWritten)
            action();
    });
    m_log.line(m_number, QStringLiteral("connection from %1:%2 plays %3")
                             .arg(m_socket->peerAddress().toString())
                             .arg(m_socket->peerPort())
                             .arg(m_script.source));
    // The connection may have waited in the server's queue while an earlier
    // one played: take what it already sent, and notice if it already left.
    readIncoming();
    if (m_phase == Phase::Done)
        return;
    if (m_socket->state() != QAbstractSocket::ConnectedState) {
        onDisconnected();
        return;
    }
    playOn();
}

void ConnectionPlayer::abort()
{
    m_phase = Phase::Done;
    stopTimers();
    m_socket->disconnect(this);
    m_socket->abort();
}

// ---- steps ---------------------------------------------------------------

void ConnectionPlayer::playOn()
{
    while (m_phase == Phase::Steps || m_phase == Phase::Handler) {
        if (m_index >= m_steps->size()) {
            enterEndPhase();
            return;
        }
        const Step &step = (*m_steps)[m_index];
        m_log.line(m_number, step.label);
        if (!beginStep(step))
            return;   // the step goes on asynchronously and calls stepDone()
        ++m_index;
    }
}

void ConnectionPlayer::stepDone()
{
    stopTimers();
    ++m_index;
    playOn();
}

bool ConnectionPlayer::beginStep(const Step &step)
{
    return std::visit(
        Overloaded{
            [this](const SendStep &send) {
                this->send(buildFrame(send.message, m_context));
                return true;
            },
            [this](const SendSplitStep &split) {
                m_pendingBytes = buildFrame(split.message, m_context);
                m_splitFrame = m_pendingBytes;
                m_chunkBytes = split.chunkBytes;
                m_log.line(m_number, QStringLiteral("   (%1 bytes in pieces of %2, %3 ms apart)")
                                         .arg(m_pendingBytes.size()).arg(split.chunkBytes).arg(split.delayMs));
                VaroManager frame;
                std::string message = m_pendingBytes;
                std::string rest;
                if (frame.ProcessMessage(message, rest) == VaroManager::Parsed)
                    m_log.line(m_number, u"-> "_s + describeFrame(frame, m_codePage));
                auto writeChunk = [this] {
                    const size_t size = std::min(m_pendingBytes.size(), static_cast<size_t>(m_chunkBytes));
                    m_socket->write(m_pendingBytes.data(), static_cast<qint64>(size));
                    m_socket->flush();
                    m_pendingBytes.erase(0, size);
                    if (m_pendingBytes.empty()) {
                        noteSent(m_splitFrame);
                        stepDone();
                    }
                };
                armTicker(split.delayMs, writeChunk);
                writeChunk();   // the first piece at once; stepDone() if it was all
                return false;
            },
            [this](const SendBatchStep &batch) {
                std::string bytes;
                std::vector<std::string> frames;
                for (const MessageSpec &message : batch.messages) {
                    frames.push_back(buildFrame(message, m_context));
                    VaroManager parsed;
                    std::string copy = frames.back();
                    std::string rest;
                    parsed.ProcessMessage(copy, rest);
                    m_log.line(m_number, u"-> "_s + describeFrame(parsed, m_codePage));
                    bytes += frames.back();
                }
                m_log.line(m_number, QStringLiteral("   (%1 frames, %2 bytes in one write)")
                                         .arg(batch.messages.size()).arg(bytes.size()));
                m_socket->write(bytes.data(), static_cast<qint64>(bytes.size()));
                for (const std::string &frame : frames)
                    noteSent(frame);
                return true;
            },
            [this](const ExpectStep &expect) {
                m_awaitedCodes = expect.codes;
                m_answerAwaited = false;
                if (takeAwaited())
                    return true;
                const bool failOnTimeout = expect.failOnTimeout;
                const int timeoutMs = expect.timeoutMs;
                armDeadline(timeoutMs, [this, failOnTimeout, timeoutMs] {
                    m_awaitedCodes.clear();
                    m_log.line(m_number, QStringLiteral("%1: nothing came within %2 ms").arg(currentLabel()).arg(timeoutMs));
                    if (failOnTimeout) {
                        closeSocket(false);
                        finish(false);
                    } else {
                        stepDone();
                    }
                });
                if (expect.keepAliveMs > 0)
                    armTicker(expect.keepAliveMs, [this] { sendKeepAlive(); });
                return false;
            },
            [this](const WaitStep &wait) {
                armDeadline(wait.ms, [this] { stepDone(); });
                if (wait.keepAliveMs > 0)
                    armTicker(wait.keepAliveMs, [this] { sendKeepAlive(); });
                return false;
            },
            [this](const KeepAliveStep &keepAlive) {
                if (keepAlive.count == 0)
                    return true;
                m_keepAlivesSent = 0;
                const int count = keepAlive.count;
                armTicker(keepAlive.everyMs, [this, count] {
                    sendKeepAlive();
                    if (count != kForever && ++m_keepAlivesSent >= count)
                        stepDone();
                });
                if (keepAlive.forMs != kForever)
                    armDeadline(keepAlive.forMs, [this] { stepDone(); });
                return false;
            },
            [this](const SilentStep &silent) {
                if (silent.forMs != kForever)
                    armDeadline(silent.forMs, [this] { stepDone(); });
                return false;   // forever: until the client leaves
            },
            [this](const CloseStep &close) {
                m_log.line(m_number, close.reset ? u"closing the connection with a reset"_s
                                                 : u"closing the connection"_s);
                closeSocket(close.reset);
                finish(true);
                return false;
            },
            [this](const GarbageStep &garbage) {
                m_log.line(m_number, QStringLiteral("-> garbage: %1")
                                         .arg(QString::fromLatin1(QByteArray::fromStdString(garbage.bytes).left(32).toHex(' '))));
                m_socket->write(garbage.bytes.data(), static_cast<qint64>(garbage.bytes.size()));
                return true;
            },
            [this](const EndlessFrameStep &endless) {
                std::string header(VaroFrame::kHeaderSize, '\0');
                header[0] = static_cast<char>(VaroFrame::kStartByte);
                const auto length = static_cast<uint32_t>(endless.announcedLength);
                for (size_t i = 0; i < VaroFrame::kLengthSize; ++i)
                    header[VaroFrame::kStartSize + i] = static_cast<char>((length >> (8 * i)) & 0xFF);
                m_socket->write(header.data(), static_cast<qint64>(header.size()));
                m_endlessSent = 0;
                const qint64 limit = endless.announcedLength;   // body bytes; the check byte never comes
                const int chunk = endless.chunkBytes;
                auto trickle = [this, limit, chunk] {
                    // Keep at most a few chunks queued: a client that stops
                    // reading must not make the simulator buffer without end.
                    if (m_socket->bytesToWrite() > 4 * static_cast<qint64>(chunk))
                        return;
                    const qint64 size = std::min<qint64>(chunk, limit - m_endlessSent);
                    if (size <= 0)
                        return;
                    m_socket->write(std::string(static_cast<size_t>(size), '\0').data(), size);
                    m_endlessSent += size;
                };
                if (endless.everyMs > 0) {
                    armTicker(endless.everyMs, trickle);
                } else {
                    // As fast as the client reads: refill whenever the kernel
                    // took some, rather than spinning a zero timer.
                    m_onWritten = trickle;
                    trickle();
                }
                if (endless.forMs != kForever) {
                    armDeadline(endless.forMs, [this] {
                        m_log.line(m_number, QStringLiteral("   (%1 body bytes sent)").arg(m_endlessSent));
                        stepDone();
                    });
                }
                return false;
            },
            [this](const ApproveThenHangupStep &hangup) {
                m_log.line(m_number, QStringLiteral("approved STAN %1 (not sent), hanging up%2")
                                         .arg(hangup.stan)
                                         .arg(hangup.reset ? u" with a reset"_s : QString()));
                bookApproval(hangup.stan);
                closeSocket(hangup.reset);
                finish(true);
                return false;
            },
            [this](const AnswerCloseStep &answer) {
                m_awaitedCodes = {SimProtocol::codeText(VaroMsg::kSessionClose)};
                m_answerAwaited = true;
                if (takeAwaited())
                    return true;
                const int timeoutMs = answer.timeoutMs;
                armDeadline(timeoutMs, [this, timeoutMs] {
                    m_awaitedCodes.clear();
                    m_log.line(m_number, QStringLiteral("%1: no \"0023\" within %2 ms").arg(currentLabel()).arg(timeoutMs));
                    closeSocket(false);
                    finish(false);
                });
                return false;
            },
        },
        step.action);
}

void ConnectionPlayer::enterEndPhase()
{
    m_phase = Phase::Closing;
    m_awaitedCodes = {SimProtocol::codeText(VaroMsg::kSessionClose)};
    m_answerAwaited = true;
    if (takeAwaited()) {
        m_phase = Phase::Lingering;
    } else {
        m_log.line(m_number, QStringLiteral("end of the scenario: waiting for \"0023\""));
        armDeadline(m_script.endTimeoutMs, [this] {
            m_log.line(m_number, QStringLiteral("no \"0023\" within %1 ms; closing").arg(m_script.endTimeoutMs));
            closeSocket(false);
            finish(true);
        });
        return;
    }
    // Answered at once: give the client time to close.
    armDeadline(kLingerMs, [this] {
        m_log.line(m_number, QStringLiteral("the client did not close within %1 ms; closing").arg(kLingerMs));
        closeSocket(false);
        finish(true);
    });
}

void ConnectionPlayer::answerClose()
{
    MessageSpec close;
    close.code = std::string(SimProtocol::wire(VaroMsg::kSessionClose));
    send(buildFrame(close, m_context));
}

// Takes the first awaited frame from the inbox and drops those before it.
bool ConnectionPlayer::takeAwaited()
{
    if (m_awaitedCodes.isEmpty())
        return false;
    const QString close = SimProtocol::codeText(VaroMsg::kSessionClose);
    if (m_pendingClose && (m_answerAwaited || m_awaitedCodes.contains(close))) {
        m_pendingClose = false;
        m_awaitedCodes.clear();
        if (m_answerAwaited)
            answerClose();
        return true;
    }
    while (!m_inbox.empty()) {
        VaroManager frame = std::move(m_inbox.front());
        m_inbox.pop_front();
        const QString code = codeOf(frame);
        if (m_awaitedCodes.contains(code)) {
            m_awaitedCodes.clear();
            m_lastRequest = std::move(frame);
            m_context.lastRequest = &*m_lastRequest;
            if (m_answerAwaited)
                answerClose();
            return true;
        }
        if (code == close) {
            m_pendingClose = true;   // answered when a step or the end says so
            if (m_answerAwaited) {
                m_pendingClose = false;
                m_awaitedCodes.clear();
                answerClose();
                return true;
            }
        } else {
            m_log.line(m_number, QStringLiteral("   (%1 passed over while waiting for %2)").arg(code, m_awaitedCodes.join(u'|')));
        }
    }
    return false;
}

// ---- receiving -----------------------------------------------------------

void ConnectionPlayer::readIncoming()
{
    if (m_phase == Phase::Done)
        return;
    const QByteArray data = m_socket->readAll();
    m_buffer.append(data.constData(), static_cast<size_t>(data.size()));
    while (m_phase != Phase::Done && !m_buffer.empty()) {
        VaroManager frame;
        std::string message = std::move(m_buffer);
        std::string rest;
        const int16_t result = frame.ProcessMessage(message, rest);
        m_buffer = std::move(rest);
        if (result == VaroManager::Incomplete) {
            if (static_cast<qsizetype>(m_buffer.size()) > kMaxReceiveBuffer) {
                m_log.line(m_number, QStringLiteral("the client sent %1 bytes without completing a frame; cutting it off")
                                         .arg(m_buffer.size()));
                closeSocket(true);
                finish(false);
            }
            return;
        }
        if (result == VaroManager::NoStartByte) {
            // No frame starts here: skip to the next start byte.
            const size_t next = m_buffer.find(static_cast<char>(VaroFrame::kStartByte), 1);
            const size_t dropped = next == std::string::npos ? m_buffer.size() : next;
            m_log.line(m_number, QStringLiteral("<- %1 bytes that are not a frame, dropped").arg(dropped));
            m_buffer.erase(0, dropped);
            continue;
        }
        if (result != VaroManager::Parsed) {
            m_log.line(m_number, QStringLiteral("<- bad frame of %1 bytes (parser result %2), dropped")
                                     .arg(message.size()).arg(result));
            continue;
        }
        emit frameReceived(QByteArray(message.data(), static_cast<qsizetype>(message.size())));
        handleFrame(std::move(frame));
    }
}

void ConnectionPlayer::handleFrame(VaroManager frame)
{
    m_log.line(m_number, u"<- "_s + describeFrame(frame, m_codePage));
    if (!m_sawFirstRequest) {
        m_sawFirstRequest = true;
        m_context.pos = frame.GetFieldData(VaroMsg::kFieldPos, m_context.pos);
        m_context.session = frame.GetFieldData(VaroMsg::kFieldSession, m_context.session);
    }
    const QString code = codeOf(frame);
    if (isTransactionRequestCode(frame.GetFieldData(VaroMsg::kFieldCode)))
        m_transaction = frame;
    if (m_phase == Phase::Steps && m_script.handlers.count(code) && !m_handlersRun.contains(code)) {
        m_handlersRun.insert(code);
        m_log.line(m_number, QStringLiteral("%1 arrived: playing its handler").arg(code));
        stopTimers();
        m_awaitedCodes.clear();
        m_lastRequest = std::move(frame);
        m_context.lastRequest = &*m_lastRequest;
        m_phase = Phase::Handler;
        m_steps = &m_script.handlers.at(code);
        m_index = 0;
        playOn();
        return;
    }
    if (m_inbox.size() >= kMaxInbox)
        m_inbox.pop_front();
    m_inbox.push_back(std::move(frame));
    if (!takeAwaited())
        return;
    if (m_phase == Phase::Closing) {
        m_phase = Phase::Lingering;
        armDeadline(kLingerMs, [this] {
            m_log.line(m_number, QStringLiteral("the client did not close within %1 ms; closing").arg(kLingerMs));
            closeSocket(false);
            finish(true);
        });
    } else {
        stepDone();
    }
}

void ConnectionPlayer::onDisconnected()
{
    if (m_phase == Phase::Done)
        return;
    readIncoming();   // what came with the close
    if (m_phase == Phase::Done)
        return;
    bool ok = m_phase == Phase::Closing || m_phase == Phase::Lingering;
    if (!ok && m_index < m_steps->size())
        ok = isOpenEnded((*m_steps)[m_index]);
    if (ok)
        m_log.line(m_number, QStringLiteral("the client closed the connection"));
    else
        m_log.line(m_number, QStringLiteral("the client closed the connection during %1").arg(currentLabel()));
    finish(ok);
}

// ---- sending and ending --------------------------------------------------

void ConnectionPlayer::send(const std::string &bytes)
{
    VaroManager frame;
    std::string message = bytes;
    std::string rest;
    const int16_t result = frame.ProcessMessage(message, rest);
    if (result == VaroManager::Parsed)
        m_log.line(m_number, u"-> "_s + describeFrame(frame, m_codePage));
    else
        m_log.line(m_number, QStringLiteral("-> frame of %1 bytes that a parser rejects (result %2)").arg(bytes.size()).arg(result));
    m_socket->write(bytes.data(), static_cast<qint64>(bytes.size()));
    noteSent(bytes);
}

void ConnectionPlayer::noteSent(const std::string &frame)
{
    emit frameSent(QByteArray::fromStdString(frame));
    // A server books an approval when it sends it, whether or not the frame
    // reaches the client whole: read the code with the check byte set to
    // 0x2C ("not computed"), so a "0012" sent with a wrong one counts too.
    VaroManager parsed;
    std::string message = frame;
    if (!message.empty())
        message.back() = ',';
    std::string rest;
    if (parsed.ProcessMessage(message, rest) != VaroManager::Parsed
        || parsed.GetFieldData(VaroMsg::kFieldCode) != SimProtocol::wire(VaroMsg::kApproved))
        return;
    const std::string stan = parsed.GetFieldData(VaroMsg::kFieldNumber);
    bookApproval(DecodeInt32(QByteArrayView(stan.data(), static_cast<qsizetype>(stan.size()))));
}

void ConnectionPlayer::bookApproval(int32_t stan)
{
    if (!m_ledger)
        return;
    if (!m_transaction) {
        m_log.line(m_number, QStringLiteral("ledger: no transaction request came on this connection; STAN %1 is not booked")
                                 .arg(stan));
        return;
    }
    const LedgerRecord &record = m_ledger->recordApproval(*m_transaction, stan);
    char amount[32];
    const auto written = std::to_chars(amount, amount + sizeof amount, record.amount);   // shortest, no locale
    // The card is masked already; the log shows it as the report does.
    m_log.line(m_number, QStringLiteral("ledger record %1: pos=\"%2\" stamp %3 STAN %4 amount %5 card \"%6\" flags %7")
                             .arg(m_ledger->booked())
                             .arg(m_codePage.decode(QByteArrayView(record.terminal.data(), static_cast<qsizetype>(record.terminal.size()))),
                                  QString::fromLatin1(record.stamp.data(), static_cast<qsizetype>(record.stamp.size())))
                             .arg(stan)
                             .arg(QString::fromLatin1(amount, written.ptr - amount),
                                  QString::fromLatin1(record.card.data(), static_cast<qsizetype>(record.card.size())),
                                  record.booking ? u"000010"_s : u"000000"_s));
    emit approvalBooked(stan);
}

void ConnectionPlayer::sendKeepAlive()
{
    MessageSpec keepAlive;
    keepAlive.code = std::string(SimProtocol::wire(VaroMsg::kKeepAlive));
    send(buildFrame(keepAlive, m_context));
}

void ConnectionPlayer::closeSocket(bool reset)
{
    // Our own close is no news: without this, a disconnected() emitted from
    // inside disconnectFromHost() would count as the client leaving mid-step.
    m_socket->disconnect(this);
    if (m_socket->state() == QAbstractSocket::UnconnectedState)
        return;
    if (reset) {
        // A zero linger time makes close() send RST instead of FIN.
        m_socket->flush();
        const linger abortive{1, 0};
        ::setsockopt(static_cast<int>(m_socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
        m_socket->abort();
    } else {
        m_socket->disconnectFromHost();   // sends what is queued first
    }
}

void ConnectionPlayer::finish(bool ok)
{
    if (m_phase == Phase::Done)
        return;
    m_phase = Phase::Done;
    stopTimers();
    m_socket->disconnect(this);
    if (m_socket->state() != QAbstractSocket::UnconnectedState) {
        // Let the queued bytes reach the client before the player goes.
        m_socket->disconnectFromHost();
        if (m_socket->state() != QAbstractSocket::UnconnectedState) {
            connect(m_socket, &QTcpSocket::disconnected, this, [this, ok] { emit finished(ok); });
            QTimer::singleShot(kLingerMs, this, [this, ok] {
                if (m_socket->state() == QAbstractSocket::UnconnectedState)
                    return;
                m_socket->disconnect(this);
                m_socket->abort();
                emit finished(ok);
            });
            return;
        }
    }
    QMetaObject::invokeMethod(this, [this, ok] { emit finished(ok); }, Qt::QueuedConnection);
}

void ConnectionPlayer::stopTimers()
{
    m_deadline.stop();
    m_ticker.stop();
    m_onDeadline = nullptr;
    m_onTick = nullptr;
    m_onWritten = nullptr;
}

void ConnectionPlayer::armDeadline(int ms, std::function<void()> action)
{
    m_onDeadline = std::move(action);
    m_deadline.start(ms);
}

void ConnectionPlayer::armTicker(int ms, std::function<void()> action)
{
    m_onTick = std::move(action);
    m_ticker.start(ms);
}

QString ConnectionPlayer::currentLabel() const
{
    if (m_phase == Phase::Closing || m_phase == Phase::Lingering)
        return u"the closing handshake"_s;
    if (m_index < m_steps->size())
        return (*m_steps)[m_index].label;
    return u"the end of the scenario"_s;
}

} // namespace Sim
