#ifndef NALVO_PLAYER_QCUSTOMVUM_H
#define NALVO_PLAYER_QCUSTOMVUM_H

#include "player/meterballistics.h"

#include <QColor>
#include <QFont>
#include <QLinearGradient>
#include <QPoint>
#include <QRect>
#include <QRectF>
#include <QRegion>
#include <QString>
#include <QWidget>

class QTimer;

// The vertical level meter of a track strip and of the two master meters.
// Fed every 100 ms with a level 0..4095 (or -1 to reset); paints only when
// the lit bar, the peak marker or the over lamp changed.
class QCustomVum : public QWidget
{
    Q_OBJECT
public:
    explicit QCustomVum(QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    void setValueViaLookup(int level);
    void setZoneLevel(bool gradient, int red, int yellow, bool grid, int blueLine, int scale);
    void setBalisticAndPeak(int ballistic, int peakHold);
    void setVumMixdown(bool mixdown);
    void SetUserDisarmed(bool disarmed);
    void SetUserMuted(bool muted);
    void SetDarker(bool darker);
    // While held, the level, colour, mixdown, arming, mute and shade setters
    // change the meter without scheduling a paint; released, it is painted
    // only when it would show something else than when the hold began. A
    // window that empties its strip and fills it again for the next take
    // repaints only the meters that look different.
    void HoldRepaint(bool hold);
    void EnableDisplayMixerLevel(bool display) { m_bDisplayMixerLevel = display; }
    int GetLastButton() const { return m_nLastButton; }

    void setBarHeight(int height);
    void setVumPlayerType(bool player);
    void setNameLabel(const QString& name);
    void RedrawArea();
    void setBottomLabel(const QString& label);
    void setInfoLabel(const QString& info) { m_czInfo = info; }
    void setPhaseInverse(bool inverse);
    void SetHighLightTrackName(bool highlight);
    void setCompressorEnabled(int kind, int on);
    void setCompressorState(int state);
    void setValueMixerLevel(int level);

    // Read-outs of the state the painting uses.
    int shownStep() const { return m_Steps.shownStep(); }
    int peakStep() const { return m_Steps.peakStep(); }
    bool overLit() const { return m_Steps.overLit(); }
    int barTop() const { return m_nBarTop; }
    int barHeight() const { return m_nBarHeight; }
    QRectF maskRect() const { return m_rcMask; }
    QRectF peakGapRect() const { return m_rcPeakGap; }
    QRect yellowZoneRect() const { return m_rcYellowZone; }
    QRect redZoneRect() const { return m_rcRedZone; }
    QString valueBoxText() const;
    QString infoText() const { return m_czInfo; }
    QColor effectiveNormalColor() const { return m_colNormalZone; }

signals:
    void signal_MouseClicked();

public slots:
    void setColorTextLabel(QColor color);
    void setColorHighGradian(QColor color);
    void setColorLowGradian(QColor color);
    void setColorInputType(QColor color);
    void slot_BlinkTimeout();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // What the held setters change of the painted meter.
    struct HeldLook {
        int shown = 0, peak = 0;
        bool over = false, mixdown = false, disarmed = false, muted = false, darker = false;
        QRectF mask, peakGap;
        QColor input;
        QString info;
        bool operator==(const HeldLook& o) const;
    };
    HeldLook CurrentHeldLook() const;
    // update(), or noted for the hold's end.
    void RepaintUnlessHeld();

    int StepHeight(int step) const;
    int ZoneBoundaryHeight(double zoneValue) const;
    void ManageColor();
    void UpdateBarGeometry();
    void UpdateLevelRects();
    void MeasureValueBox(QPainter& painter);
    void MeasureBottomBox();
    void MeasureLabels();
    void PaintBottomLabel(QPainter& painter);
    void PaintBar(QPainter& painter);
    void PaintGrid(QPainter& painter);
    void PaintNameAndInfo(QPainter& painter);
    void PaintValueBox(QPainter& painter);
    void PaintCompressorLamp(QPainter& painter);
    QColor Shade(QColor color) const;

    int m_nHeight = 0;
    int m_nWidth = 0;
    QLinearGradient m_Gradient;
    QRect m_rcGradientBar, m_rcNormalZone, m_rcYellowZone, m_rcRedZone;
    QRectF m_rcMask, m_rcPeakGap;
    QFont m_fontValue;
    QString m_czMixerLevel = QStringLiteral("--");
    QColor m_colMixerLevel = Qt::white;
    int m_nMixerLevel = 0;
    bool m_bValueBoxValid = false;
    QRect m_rcValueBox, m_rcOverLamp;
    QRegion m_rgnLabelClip;
    QRectF m_rcBottomBox;
    QFont m_fontBottom;
    bool m_bDisarmed = false, m_bMuted = false, m_bHighlightName = false;
    double m_dMinStep = 0.0, m_dMaxStep = 31.0;
    int m_nScaleNumber = 0;
    bool m_bDisplayMixerLevel = true;
    bool m_bDarker = false;
    bool m_bPlayerType = false;
    bool m_bGradientBar = false;
    double m_dRedZone = 22.0, m_dYellowZone = 26.0;
    double m_dGradientEnd = 0.0;
    int m_nBlueLine = 23;
    bool m_bGrid = true, m_bMixdown = false;
    int m_nBarHeight = 150;
    int m_nBarTop = 14;
    bool m_bPhaseInverse = false;
    QColor m_colBackground = QColor(60, 60, 60);
    QColor m_colText = Qt::white;
    // Effective colours (painted) and the base colours they derive from.
    QColor m_colHighGradient = Qt::red, m_colLowGradient = Qt::green, m_colRedZone = Qt::red,
           m_colYellowZone = Qt::yellow, m_colNormalZone = Qt::green, m_colMixdown = QColor(31, 254, 216);
    QColor m_colInputType = QColor(96, 96, 96);
    QColor m_colBaseHighGradient = Qt::red, m_colBaseLowGradient = Qt::green, m_colBaseRedZone = Qt::red,
           m_colBaseYellowZone = Qt::yellow, m_colBaseNormalZone = Qt::green,
           m_colBaseMixdown = QColor(31, 254, 216);
    bool m_bBottomFontValid = false;
    QString m_czBottomLabel;
    bool m_bLabelsDirty = true;
    QRect m_rcInfoBox;
    QFont m_fontInfo;
    QString m_czName;
    QRect m_rcNameBox;
    QFont m_fontName;
    int m_nLabelBaseY = 0;
    QString m_czInfo = QStringLiteral("Muted");
    bool m_bCompressorLamp = false, m_bCompressor0 = false, m_bCompressor3 = false, m_bBlinkOn = false;
    QTimer* m_pCompressorTimer = nullptr;
    QTimer* m_pBlinkTimer = nullptr;
    MeterBallistics m_Steps;
    QPoint m_ptPress = QPoint(-1, -1);
    bool m_bPressed = false;
    int m_nLastButton = 0;
    bool m_bRepaintHeld = false;
    bool m_bRepaintWanted = false;
    HeldLook m_HeldLook;
};

#endif
