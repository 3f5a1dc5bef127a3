#ifndef NALVO_PLAYER_QVERTICALSCALE_H
#define NALVO_PLAYER_QVERTICALSCALE_H

#include <QColor>
#include <QWidget>

// The dB scale beside the track meters: 21 label slots from the bottom of
// the bar to its top, for the Original (0) or the Extended (1) scale.
class QVerticalScale : public QWidget
{
    Q_OBJECT
public:
    explicit QVerticalScale(QWidget* parent = nullptr);

    void SetScaleNumber(int scale);
    int ScaleNumber() const { return m_nScaleNumber; }

    // The label of slot 0..20 on the given scale; empty for slots without one.
    static QString SlotLabel(int scale, int slot);

public slots:
    void slot_setColorBg(QColor color);
    void slot_setColorValue(QColor color);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_colBackground = QColor(60, 60, 60);
    QColor m_colValue = Qt::white;
    float m_fFontFactor = 1.0f;
    int m_nScaleNumber = 0;
};

#endif
