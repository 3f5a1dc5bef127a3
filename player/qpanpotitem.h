#ifndef NALVO_PLAYER_QPANPOTITEM_H
#define NALVO_PLAYER_QPANPOTITEM_H

#include "player/playertypes.h"
#include "player/repainthold.h"

#include <QColor>
#include <QFont>
#include <QPoint>
#include <QWidget>

#include <tuple>

// The small square that shows a track's output pan as a letter (L, C, R, X)
// or, for an intermediate pan, as the two balance shares. A click is only
// reported; the owner decides the next pan and sets it back.
class QPanPotItem : public QWidget
{
    Q_OBJECT
public:
    explicit QPanPotItem(QWidget* parent = nullptr, int id = -1);

    // -1 for a side leaves that side unchanged.
    void setPan(int left, int right);
    void setPan(tPostFadePan pan) { setPan(pan.left, pan.right); }
    // Code 0 (0,0), 97 (100,0), 98 (100,100), 99 (0,100); others change nothing.
    void setPan(int code);
    // 1 when left is null (nothing written), 2 when right is null, else 0.
    int pan(int* left, int* right) const;

    void setDesarmed(bool disarmed);
    void setDisabled(bool disabled);
    void SetMuted(bool muted);
    void setActive(bool active);
    void SetDarker(bool darker);
    void setId(int id);
    int id() const { return m_nId; }
    int GetLastButton() const { return m_nLastButton; }
    // Held, the setters repaint the pot at the hold's end, and only when it
    // then looks different.
    void HoldRepaint(bool hold);

    // The shares shown for an intermediate pan (they add up to 100, or are 0).
    int leftBalance() const { return m_nLeftBalance; }
    int rightBalance() const { return m_nRightBalance; }
    // The letter shown, empty for an intermediate pan (digits are shown).
    QString symbol() const;

signals:
    void signal_itemClicked(int id, int button);

public slots:
    void slot_SelectionChanged(int selectedId);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    struct Look
    {
        QString symbol;
        QColor symbolColor;
        bool fillLeft = false;  // whole field in the left colour
        bool fillRight = false; // whole field, or the right half after a left fill
        QColor fillColor;       // a plain fill other than the halves
        bool digits = false;
        int weight = QFont::Normal;
    };
    Look ComputeLook() const;
    using HeldLook = std::tuple<int, int, int, int, int, int, bool, bool, bool>;
    HeldLook CurrentHeldLook() const;
    void RepaintUnlessHeld();
    bool IsIntermediate() const;
    bool Highlighted() const;
    QColor Shade(const QColor& color) const;

    int m_nId;
    int m_nSelectionId = -2;
    int m_nDisarmed = 0;
    int m_nDisabled = 0;
    bool m_bMuted = false;
    bool m_bActive = true;
    bool m_bDarker = false;
    int m_nLeft = 0;
    int m_nRight = 0;
    int m_nLeftBalance = 0;
    int m_nRightBalance = 0;
    QFont m_fontSymbol;
    float m_fFontScale = 0.0f;
    QPoint m_ptPress;
    bool m_bPressed = false;
    int m_nLastButton = 0;
    bool m_bHover = false;
    RepaintHold<HeldLook> m_Hold;
};

#endif
