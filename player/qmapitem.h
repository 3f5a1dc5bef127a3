#ifndef NALVO_PLAYER_QMAPITEM_H
#define NALVO_PLAYER_QMAPITEM_H

#include "player/playertypes.h"
#include "player/repainthold.h"

#include <QColor>
#include <QFont>
#include <QWidget>

#include <tuple>

// One cell of the routing grid: an input that feeds a track, shown as a
// coloured box with the kind letter and the 1-based input number.
class QMapItem : public QWidget
{
    Q_OBJECT
public:
    QMapItem(QWidget* parent, tInputMasterType type, int index, int id, bool sided);

    void setType(tInputMasterType type);
    tInputMasterType type() const { return m_nType; }
    void setIndex(int index);
    int index() const { return m_nIndex; }
    // Key -1: the whole cell; 0 and 1: the left and right halves.
    void setMap(int key, int value);
    int map(int key) const;
    void setDeactivated(bool deactivated);
    bool deactivated() const { return m_bDeactivated; }
    void setSided(bool sided);
    void setBold(bool bold);
    void setId(int id);
    int id() const { return m_nId; }
    // Held, the setters repaint the cell at the hold's end, and only when it
    // then looks different.
    void HoldRepaint(bool hold);

    QString symbol() const;
    QString text() const;
    // The letters and number the cell paints (empty for a blank cell).
    QString cellText() const;
    // The fill of a mapped cell of this type (invalid when it has none).
    QColor fillColor() const;
    float fitScale() const { return m_fFitScale; }

signals:
    void signal_itemClicked(int, int);
    void signal_itemDoubleClicked(int, int);
    void signal_itemWheeled(int, int);

public slots:
    void slot_SelectionChanged(int id);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    bool IsKnownType() const;
    bool NeedsWideSample() const;
    void ResetFitForNumberedTypes();
    using Look = std::tuple<int, int, int, int, int, bool, bool, bool>;
    Look CurrentLook() const;
    void RepaintUnlessHeld();

    tInputMasterType m_nType;
    int m_nId;
    int m_nIndex;
    int m_nSelectedId = -2;
    bool m_bSided;
    bool m_bDeactivated = false;
    int m_nMapWhole = 0;
    int m_nMapLeft = 0;
    int m_nMapRight = 0;
    QFont m_font;
    float m_fFitScale = 0.0f;
    bool m_bBold = false;
    RepaintHold<Look> m_Hold;
};

#endif
