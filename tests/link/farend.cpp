#include "tests/link/farend.h"

#include "table/hextext.h"

bool FakeLine::write(const QByteArray& bytes) {
    if (!m_open || m_failed) {
        return false;
    }
    const int index = int(frames.size());
    frames << bytes;
    if (onWrite) {
        onWrite(index);
    }
    if (index == failWriteAt) {
        m_failed = true;
        return false;
    }
    if (index == hangUpAt) {
        m_failed = true;
        m_pending.clear();
        return true;
    }
    if (m_responder) {
        for (const Arrival& arrival : m_responder(bytes, index)) {
            m_pending[m_clock.now() + arrival.afterMs] += arrival.bytes;
        }
    }
    return true;
}

qint64 FakeLine::bytesWaiting() {
    m_clock.advance(bytesWaitingCostMs);
    deliverDue();
    return m_buffer.size();
}

QByteArray FakeLine::takeAll() {
    deliverDue();
    QByteArray all;
    all.swap(m_buffer);
    return all;
}

void FakeLine::discardInput() {
    deliverDue();
    discarded += m_buffer.size();
    m_buffer.clear();
}

bool FakeLine::waitForMore(int ms) {
    ++waits;
    if (m_failed) {
        return false;
    }
    deliverDue();
    const qint64 deadline = m_clock.now() + ms;
    if (!m_pending.isEmpty() && m_pending.firstKey() <= deadline) {
        m_clock.advance(m_pending.firstKey() - m_clock.now());
        deliverDue();
        return true;
    }
    m_clock.advance(ms);
    return false;
}

void FakeLine::deliverDue() {
    while (!m_pending.isEmpty() && m_pending.firstKey() <= m_clock.now()) {
        m_buffer += m_pending.take(m_pending.firstKey());
    }
}

QByteArray controllerReply(const QByteArray& rest) {
    return '[' + Hex2(FrameChecksum(rest)) + rest;
}

QList<Arrival> FakeController::answer(const QByteArray& frame, int index) {
    // "[" cc "00" command "]", checked like the real controller does.
    if (frame.size() < 6 || !frame.startsWith('[') || !frame.endsWith(']') ||
        HexVal2(frame.mid(1, 2)) != FrameChecksum(frame.mid(3))) {
        return {};
    }
    const QByteArray command = frame.mid(5, frame.size() - 6);
    const Fault fault = faults.value(index, NoFault);
    QByteArray rest;
    if (command.startsWith("380") && command.size() == 137) {
        const int offset = HexVal4(command.mid(3, 4));
        for (int k = 0; k < BlockBytes && offset + k < CnfBytes; ++k) {
            image[offset + k] = std::uint8_t(HexVal2(command.mid(9 + 2 * k, 2)));
        }
        rest = "00]";
    } else if (command.startsWith("390") && command.size() == 9) {
        const int offset = HexVal4(command.mid(3, 4));
        for (int k = 0; k < BlockBytes; ++k) {
            rest += fault == Garbage && k == 0
                        ? QByteArray("G1")
                        : Hex2(offset + k < CnfBytes ? image[offset + k] : 0);
        }
        rest += ']';
    } else if (command == ChecksumCommand) {
        const std::uint32_t flip = fault == High ? 0x01000000U : fault == Low ? 1U : 0U;
        const std::uint32_t sum = ImageChecksum(image) ^ flip;
        rest = Hex4(std::int32_t(sum >> 16U)) + Hex4(std::int32_t(sum & 0xFFFFU)) + ']';
    } else {
        return {};
    }
    if (fault == Lower) {
        rest = rest.toLower();
    }
    QByteArray reply = controllerReply(rest);
    switch (fault) {
    case Silent:
        return {};
    case BadSum:
        reply.replace(1, 2, Hex2(HexVal2(reply.mid(1, 2)) + 1));
        break;
    case Short:
        reply.chop(1);
        break;
    case Extra:
        reply += 'X';
        break;
    case Lower:
        reply.replace(1, 2, reply.mid(1, 2).toLower());
        break;
    case Junk:
        reply.prepend(QByteArray("\x00\xFFzz", 4));
        break;
    default:
        break;
    }
    return {{replyDelayMs, reply}};
}

CnfTable patternTable(int seed, const QString& oKey, const QString& iKey) {
    ModBrevane mod;
    for (int i = 0; i < CnfBytes; ++i) {
        mod.Cnf[i] = std::uint8_t((i * 37 + seed) & 0xFF);
    }
    mod.PackKeys(oKey, iKey);
    return mod.Cnf;
}

QList<QByteArray> transferFrames(bool upload, const CnfTable& table) {
    QList<QByteArray> frames;
    for (int block = 0; block < ImageBlocks; ++block) {
        frames << commandFrame(upload ? blockReadCommand(block)
                                      : blockWriteCommand(block, controllerImage(table)));
    }
    return frames << ChecksumFrame;
}

ControllerImage blockPattern() {
    ControllerImage image{};
    for (int k = 0; k < BlockBytes; ++k) {
        image[2 * BlockBytes + k] = std::uint8_t(k * 4 + 3);
    }
    return image;
}

QString transferErrorText(bool upload, int code) {
    return upload ? QStringLiteral("Upload Error: %1\r\nAll Host Data Cleared.").arg(code)
                  : QStringLiteral("Download Error: %1\r\nBrevane will not function properly "
                                   "until a download is complete.")
                        .arg(code);
}
