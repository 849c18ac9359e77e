#include "platform/lowlatency.h"

bool LowLatencyRequest::ask(LowLatencyFlag& flag) {
    m_changed = false;
    m_refusal.clear();
    bool on = false;
    QString why;
    if (!flag.read(on, why)) {
        m_refusal = QStringLiteral("low latency not granted: %1").arg(why);
        return false;
    }
    if (on) {
        return true; // someone else asked already; theirs to put back
    }
    if (!flag.write(true, why)) {
        m_refusal = QStringLiteral("low latency not granted: %1").arg(why);
        return false;
    }
    m_changed = true;
    if (!flag.read(on, why) || !on) {
        m_refusal = QStringLiteral("low latency not granted: the driver kept it off");
        return false;
    }
    return true;
}

void LowLatencyRequest::putBack(LowLatencyFlag& flag) {
    if (m_changed) {
        QString why;
        flag.write(false, why);
        m_changed = false;
    }
}
