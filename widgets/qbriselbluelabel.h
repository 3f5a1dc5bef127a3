#ifndef NALVO_WIDGETS_QBRISELBLUELABEL_H
#define NALVO_WIDGETS_QBRISELBLUELABEL_H

#include <QColor>
#include <QLabel>
#include <QString>

// The value label of a mini-stack field: its background tells whether the
// field is selected, unselected or not applicable, and a click on it (press
// and release on one pixel) or a double click is reported.
class QBriselBlueLabel : public QLabel
{
    Q_OBJECT
public:
    enum tBackGround : int { BACKGROUND_BLUE = 0, BACKGROUND_DEEP_BLUE = 1, BACKGROUND_PURPLE = 2, BACKGROUND_PURPLE_DARK = 3 };

    explicit QBriselBlueLabel(QWidget* parent = nullptr);
    ~QBriselBlueLabel() override;

    void SetupBackGround(tBackGround scheme);
    void SetupPadding(int uniform);
    void EnableBlue();
    void DisableBlue();
    void NotApplicable();
    void updateStyleSheet();

    QColor BackgroundColor() const { return m_BackgroundColor; }

signals:
    void signal_BlueLabelMouseClick(bool doubleClick);

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    void ResetBorder();

    int m_nUniformPadding = 1;
    tBackGround m_eBackGround = BACKGROUND_BLUE;
    int m_nPressedX = 0;
    int m_nPressedY = 0;
    bool m_bPressed = false;
    QColor m_TextColor{255, 255, 255};
    QColor m_BackgroundColor{48, 140, 198};
    QString m_czBorderStyle;
    QColor m_BorderColor;
    int m_nBorderRadius = 3;
    int m_nBorderWidth = 0;
    int m_nTranslucentAlpha = 30;
    int m_nPadding = 4;
    int m_nPaddingLeft = 2;
    int m_nPaddingRight = 2;
    int m_nPaddingTop = 1;
    int m_nPaddingBottom = 0;
};

#endif
