#ifndef NALVO_PLAYER_REPAINTHOLD_H
#define NALVO_PLAYER_REPAINTHOLD_H

#include <QWidget>

#include <utility>

// A widget's repaints held across a burst of changes (a take selection
// empties the routing grid and sets it again, mostly as it was): at the
// hold's end the widget is repainted only when what it shows differs from
// what it showed at the start. Look is whatever the widget's picture
// depends on, compared with ==.
template <typename Look>
class RepaintHold
{
public:
    bool Held() const { return m_bHeld; }
    void Start(Look shown)
    {
        m_bHeld = true;
        m_bWanted = false;
        m_Shown = std::move(shown);
    }
    // True when the caller repaints now; otherwise noted for the end.
    bool RepaintNow()
    {
        m_bWanted = true;
        return !m_bHeld;
    }
    // True when the widget is to be repainted now that the hold ends.
    bool End(const Look& now)
    {
        const bool repaint = m_bHeld && m_bWanted && !(now == m_Shown);
        m_bHeld = false;
        return repaint;
    }

    // A widget's two steps: its look changed (repainted now unless held),
    // and the hold turned on or off (at its end, repainted if it looks
    // different).
    void Changed(QWidget* widget)
    {
        if (RepaintNow())
            widget->update();
    }
    void Turn(bool hold, const Look& now, QWidget* widget)
    {
        if (hold == m_bHeld)
            return;
        if (hold)
            Start(now);
        else if (End(now))
            widget->update();
    }

private:
    bool m_bHeld = false;
    bool m_bWanted = false;
    Look m_Shown{};
};

#endif
