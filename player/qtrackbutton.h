#ifndef NALVO_PLAYER_QTRACKBUTTON_H
#define NALVO_PLAYER_QTRACKBUTTON_H

#include <QColor>
#include <QFont>
#include <QLabel>

// The "T<n>" label at the head of a track strip, coloured by the track's
// active, disarmed and solo state.
class QTrackButton : public QLabel
{
    Q_OBJECT
public:
    explicit QTrackButton(QWidget* parent = nullptr);

    void SetTrackIndex(int index);
    int TrackIndex() const { return m_nTrackIndex; }
    void SetActive(bool active);
    void Initialize();
    // The label drawn smaller where the button is narrower than it, for a
    // row of buttons that keep their places (a strip's button grows instead).
    void FitLabelToWidth();

    // The field and text colours the painting uses for the current state.
    QColor FieldColor() const;
    QColor TextColor() const;

signals:
    void UserRequest(int, int, int);
    void TrackSoloUserRequest(int, int);
    void signal_trackButtonPressed();
    void signal_trackButtonReleased();

public slots:
    void OnTrackSoloState(int mask);
    void OnTrackDisarmed(int mask);
    void OnPlayInitInfos(int mask);
    void slot_SoloTrack(int mask);

protected:
    bool event(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    bool IsLive() const;
    bool TrackBit(int mask) const;

    int m_nSoloMask = 0;
    int m_nTrackIndex = 0;
    QColor m_colTextWhite = Qt::white;
    QColor m_colTextBlack = Qt::black;
    QColor m_colSolo = Qt::yellow;
    QColor m_colSelected = QColor(0, 120, 190);
    QColor m_colInactive = QColor(96, 96, 96);
    QColor m_colActive = QColor(18, 47, 114);
    QColor m_colDisarmed = Qt::lightGray;
    bool m_bHover = false;
    int m_nPresentMask = 0;
    bool m_bDisarmed = false;
    bool m_bActive = true;
    bool m_bFitLabel = false;
    QFont m_fontLabel;
};

#endif
