#include "mainwindow/copycomparison.h"

#include "take/takefamily.h"

namespace {
// Set by a test before a comparison starts, read by the comparing thread.
std::atomic<CopyComparison::Gate> gGate{nullptr};
}  // namespace

CopyComparison::~CopyComparison() { Stop(); }

void CopyComparison::SetGate(Gate gate) { gGate.store(gate); }

void CopyComparison::Start(const QList<QPair<QString, QString>>& pairs, Found found)
{
    Stop();
    if (pairs.isEmpty())
        return;
    m_bStop.store(false);
    m_Thread = std::thread([this, pairs, found = std::move(found)] { Run(pairs, found); });
}

void CopyComparison::Stop()
{
    m_bStop.store(true);
    if (m_Thread.joinable())
        m_Thread.join();
}

void CopyComparison::Run(const QList<QPair<QString, QString>>& pairs, const Found& found)
{
    for (const QPair<QString, QString>& pair : pairs) {
        if (const Gate gate = gGate.load())
            gate(m_bStop);
        const bool copy = SameSound(pair.first, pair.second, &m_bStop);
        if (m_bStop.load())
            return;
        found(pair.first, pair.second, copy);
    }
}
