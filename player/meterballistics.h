#ifndef NALVO_PLAYER_METERBALLISTICS_H
#define NALVO_PLAYER_METERBALLISTICS_H

// The step state of one level meter: a level becomes a target step, the
// shown step rises at once and falls by a shift, a peak step is held for a
// number of updates and an over lamp stays lit a little longer.
class MeterBallistics
{
public:
    // Fall shift 0..15 (0 falls at once); negative values count as 0.
    void setFallShift(int shift);
    int fallShift() const { return m_nFallShift; }
    // Peak hold in updates; negative values count as 0.
    void setPeakHoldTime(int updates);
    int peakHoldTime() const { return m_nPeakHoldTime; }

    // One update with a level 0..4095, or -1 to reset (target 0, peak
    // cleared). Levels of 4096 and above are full scale; other negative
    // levels count as silence. Returns true when the reset or the over lamp
    // changed something visible (the bar and peak are compared by the caller).
    bool update(int level);

    int targetStep() const { return m_nTarget; }
    int shownStep() const { return m_nShownStep; }
    int peakStep() const { return m_nPeakStep; }
    bool overLit() const { return m_bOver; }
    int overCount() const { return m_nOverCount; }
    int lastLevel() const { return m_nLastLevel; }

private:
    int m_nLastLevel = -12;
    int m_nTarget = 0;
    int m_nShownStep = 0;
    int m_nPeakStep = 0;
    int m_nPeakCount = 0;
    int m_nFallShift = 3;
    int m_nPeakHoldTime = 20;
    int m_nOverCount = 25;
    bool m_bOver = false;
};

#endif
