#include "player/meterballistics.h"

#include "player/metertables.h"

#include <algorithm>

void MeterBallistics::setFallShift(int shift)
{
    m_nFallShift = std::clamp(shift, 0, 15);
}

void MeterBallistics::setPeakHoldTime(int updates)
{
    m_nPeakHoldTime = std::max(updates, 0);
}

bool MeterBallistics::update(int level)
{
    bool changed = false;
    int target;
    if (level == -1) {
        target = 0;
        changed = m_nLastLevel != -1;
        m_nLastLevel = -1;
        m_nPeakStep = 0;
    } else {
        target = MeterStepOfLevel(level);
        m_nLastLevel = level;
    }

    // Rise at once; fall by an arithmetic shift, which rounds toward minus
    // infinity and so always moves at least one step.
    if (target < m_nShownStep)
        m_nShownStep = m_nShownStep + ((target - m_nShownStep) >> m_nFallShift);
    else
        m_nShownStep = target;
    m_nTarget = m_nShownStep;

    if (target > m_nPeakStep)
        m_nPeakStep = target;
    if (target >= m_nPeakStep) {
        m_nPeakCount = m_nPeakHoldTime;
    } else {
        if (m_nPeakCount > 0)
            --m_nPeakCount;
        if (m_nPeakCount == 0) {
            m_nPeakStep = target;
            m_nPeakCount = m_nPeakHoldTime;
        }
    }
    m_nPeakStep = std::max(m_nPeakStep, m_nShownStep);

    const bool wasOver = m_bOver;
    if (m_nShownStep > kZoneValueMax) {
        m_bOver = true;
        m_nOverCount = m_nPeakHoldTime + 5;
    } else if (m_nOverCount > 0) {
        --m_nOverCount;
        if (m_nOverCount == 0)
            m_bOver = false;
    }
    return changed || wasOver != m_bOver;
}
