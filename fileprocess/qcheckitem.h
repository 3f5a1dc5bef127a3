#ifndef NALVO_FILEPROCESS_QCHECKITEM_H
#define NALVO_FILEPROCESS_QCHECKITEM_H

#include <QFont>
#include <QWidget>

// The painted per-track toggle of a poly take row: a check mark keeps the
// track, a cross leaves it out, a bullet marks a track the take lacks. A
// click only reports; the owner decides and calls SetChecked.
class QCheckItem : public QWidget
{
    Q_OBJECT
public:
    QCheckItem(QWidget* parent, int id);

    bool Checked() const { return m_bChecked; }
    void SetChecked(bool checked);
    // Look only: the item still receives the mouse.
    void setDisabled(bool disabled);
    void setDesarmed(bool desarmed);
    void setId(int id);
    int id() const { return m_nId; }
    int GetLastButton() const { return m_nLastButton; }
    // The glyph of the current state, as painted.
    QString Glyph() const;

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
    bool Highlighted() const { return m_bHover || m_nSelectedId == m_nId; }

    int m_nId;
    int m_nSelectedId = -1;
    bool m_bChecked = false;
    int m_bDesarmed = 0;
    int m_bDisabled = 0;
    bool m_bHover = false;
    QFont m_Font;
    float m_fScale = 0.0f;
    // Set by a press, cleared by the release that follows, so a release
    // after a press elsewhere (dragged in) never clicks.
    bool m_bPressed = false;
    int m_nLastButton = 0;
};

#endif
