#include "mainwindow/copycomparison.h"

#include "take/takefamily.h"

#include <utility>

namespace {
// Set by a test before a comparison starts, read by the comparing thread.
std::atomic<CopyComparison::Gate> gGate{nullptr};
}  // namespace

CopyComparison::~CopyComparison() { Stop(); }

void CopyComparison::SetGate(Gate gate) { gGate.store(gate); }

void CopyComparison::Start(const QList<QPair<QString, QString>>& pairs)
{
    Stop();
    if (pairs.isEmpty())
        return;
    m_bStop.store(false);
    m_Thread = std::thread([this, pairs] { Run(pairs); });
}

void CopyComparison::Stop()
{
    m_bStop.store(true);
    if (m_Thread.joinable())
        m_Thread.join();
    std::lock_guard<std::mutex> lock(m_OutboxMutex);
    m_Outbox.clear();
}

QList<CopyComparison::tyFinding> CopyComparison::TakeFindings()
{
    std::lock_guard<std::mutex> lock(m_OutboxMutex);
    return std::exchange(m_Outbox, {});
}

void CopyComparison::Run(const QList<QPair<QString, QString>>& pairs)
{
    for (const QPair<QString, QString>& pair : pairs) {
        if (const Gate gate = gGate.load())
            gate(m_bStop);
        const bool copy = SameSound(pair.first, pair.second, &m_bStop);
        if (m_bStop.load())
            return;
        {
            std::lock_guard<std::mutex> lock(m_OutboxMutex);
            m_Outbox << tyFinding{pair.first, pair.second, copy};
        }
        emit signal_Found(QPrivateSignal());
    }
}
