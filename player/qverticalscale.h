#ifndef NALVO_PLAYER_QVERTICALSCALE_H
#define NALVO_PLAYER_QVERTICALSCALE_H

#include <QColor>
#include <QPair>
#include <QPointer>
#include <QVector>
#include <QWidget>

class QCustomVum;

// The dB scale beside the track meters: 21 label slots from the bottom of
// the bar to its top, for the Original (0) or the Extended (1) scale.
class QVerticalScale : public QWidget
{
    Q_OBJECT
public:
    explicit QVerticalScale(QWidget* parent = nullptr);

    void SetScaleNumber(int scale);
    // The meter whose bar the slots line up with, wherever the layouts
    // place the two and however tall the meter grows; without one the
    // scale assumes a meter of its own height beside it.
    void SetMeter(QCustomVum* meter);
    int ScaleNumber() const { return m_nScaleNumber; }

    // The label of slot 0..20 on the given scale; empty for slots without one.
    static QString SlotLabel(int scale, int slot);

    // Which of the vertical spans (top, bottom) of labels, listed most
    // wanted first, are drawn: each span kept is at least gap away from
    // every span kept before it, so numbers never touch.
    static QVector<bool> SpacedLabels(const QVector<QPair<qreal, qreal>>& spans, qreal gap);

public slots:
    void slot_setColorBg(QColor color);
    void slot_setColorValue(QColor color);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_colBackground = QColor(60, 60, 60);
    QColor m_colValue = Qt::white;
    float m_fFontFactor = 1.0f;
    int m_nScaleNumber = 0;
    QPointer<QCustomVum> m_pMeter;
};

#endif
