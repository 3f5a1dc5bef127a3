#ifndef NALVO_FILEPROCESS_QFILEPROCESSSETUPWIDGET_H
#define NALVO_FILEPROCESS_QFILEPROCESSSETUPWIDGET_H

#include <QMap>
#include <QRect>
#include <QString>
#include <QWidget>

class QCheckBox;
class QCheckItem;
class QFontMetrics;
class QPanPotItem;
class QStackedWidget;
struct tProcessInformation;

// Where a row draws its take name and its size text inside the name column
// (left of the first track column), so that neither runs under the track
// headers: on one line in the name's font when both fit; else the name above
// the size, which takes the row's small font, when the column holds the two
// lines (the blank above the name's capitals may be cut); else the name
// shortened in its middle before the size. The size text shows whole
// whenever the column is as wide as it.
struct tyRowTextPlaces
{
    QString czName;   // as drawn: shortened when it had to be
    QRect nameRect;
    QString czSize;
    QRect sizeRect;
    bool bSizeBelow = false;   // drawn in the small font
};
tyRowTextPlaces PlaceRowTexts(const QFontMetrics& nameMetrics, const QFontMetrics& smallMetrics, const QString& name,
                              const QString& size, const QRect& column);

// One take of the file-process dialog: its name, its output size estimate
// and, per track, a pan pot (stereo kinds) or a check item (poly kinds),
// with the M/S pair boxes of the stereo kinds and each track's gain below.
// The controls are a working copy: the record gets them at ApplySettingsToInfo.
class QFileProcessSetupWidget : public QWidget
{
    Q_OBJECT
public:
    enum tProcessType : qint32 {
        ProcessStereoMixTracks = 0,
        ProcessStereoRemix = 1,
        ProcessPolyInterleave = 2,
        ProcessPolyRotate = 3,
        ProcessPolyCompact = 4
    };
    static constexpr int kTracks = 24;
    static constexpr int kPairs = 12;
    // The name column keeps its width (SetFileNameWidth) while the tracks
    // get kRoomyTrackWidth each; a narrower row (a small screen) narrows
    // it down to kLeastNameWidth before the tracks. The least row holds
    // that column and tracks of kLeastTrackWidth.
    static constexpr int kLeastNameWidth = 120;
    static constexpr int kRoomyTrackWidth = 32;
    static constexpr int kLeastTrackWidth = 26;
    static constexpr int kLeastWidth = kLeastNameWidth + kTracks * kLeastTrackWidth;

    QFileProcessSetupWidget(QWidget* parent, int id);

    int id() const { return m_nId; }
    void SetFileProcessInfo(tProcessInformation* info);
    void SetProcessType(tProcessType type, int minTrackCount, int rotateCount, int rotateMaxTrack);
    void ComputeProcessSize();
    // Writes the controls into the record; false when the take is too large
    // to be written (see procsize::TooLarge).
    bool ApplySettingsToInfo();
    void GetPos(int* trackX, int* trackWidth, int* itemSize) const;
    void updatePos();
    void SetFileNameWidth(int w);
    void SetFileName(QString name);

    qint64 ComputedSize() const { return m_nComputedSize; }
    QString ComputedSizeText() const { return m_czComputedSize; }
    // The controls, made on first use.
    QPanPotItem* PanPot(int track) { EnsureControls(); return m_pPanPot[track]; }
    QCheckItem* CheckItem(int track) { EnsureControls(); return m_pCheckItem[track]; }
    QCheckBox* PairBox(int pair) { EnsureControls(); return m_pCheckBoxMS[pair]; }
    bool HasControls() const { return m_bControls; }
    void EnsureControls();
    // The pans a row shows for a record under a kind: the record's, with
    // the mix routing of kind 0 and the mix tracks left out of kind 1.
    static void DisplayedPans(const tProcessInformation& info, tProcessType type, int* left, int* right);
    int CurrentPage() const;

signals:
    void signal_checkItemChanged();
    void signal_posChanged(int trackX, int trackWidth, int itemSize);

public slots:
    void slot_CheckBoxStateChanged(int pair);
    void slot_PanPotItemClicked(int track);
    void slot_CheckItemClicked(int track);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    bool IsStereo() const { return m_nProcessType <= ProcessStereoRemix; }
    bool PairLocked(int track) const;
    void LoadControls();

    tProcessType m_nProcessType = ProcessStereoMixTracks;
    int m_nMinTrack = 0;
    int m_nRotateCount = 1;
    int m_nRotateMaxTrack = 8;
    tProcessInformation* m_pInfo = nullptr;
    int m_nFileNameWidth = 200;
    int m_nId;
    QStackedWidget* m_pStack = nullptr;
    QPanPotItem* m_pPanPot[kTracks] = {};
    QCheckBox* m_pCheckBoxMS[kPairs] = {};
    QCheckItem* m_pCheckItem[kTracks] = {};
    int m_nWidth = -1;
    int m_nHeight = -1;
    QString m_czFileName;
    qint64 m_nComputedSize = 0;
    QString m_czComputedSize;
    int m_nTrackX = -1;
    int m_nItemSize = -1;
    int m_nTrackWidth = -1;
    int m_nTrackHeight = 0;
    int m_nTextHeight = 0;
    QMap<int, QString> m_GainText;
    float m_fFontFactor = 1.0f;
    bool m_bControls = false;
    bool m_bControlsQueued = false;
};

// The scrolling list of take rows under a header of 24 track buttons.
class QProcessSetupWidget : public QWidget
{
    Q_OBJECT
public:
    explicit QProcessSetupWidget(QWidget* parent = nullptr);

    void SetProcessInfo(QList<tProcessInformation*>* list);
    void SetNbFiles(int n);
    void SetProcessType(QFileProcessSetupWidget::tProcessType type, int minTrackCount, int rotateCount,
                        int rotateMaxTrack);
    // Every row writes back, even after one refuses; true when none did.
    bool ApplySettingsToInfo();
    const QList<QFileProcessSetupWidget*>& Rows() const { return m_ListFileProcess; }

signals:
    void signal_checkItemChanged();

public slots:
    void slot_FileProcessPosChanged(int trackX, int trackWidth, int itemSize);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    class QVBoxLayout* m_pLayout = nullptr;
    class QScrollArea* m_pScrollArea = nullptr;
    QWidget* m_pContainer = nullptr;
    int m_nMinTrack = 0;
    int m_nRotateCount = 1;
    int m_nRotateMaxTrack = 8;
    class QSpacerItem* m_pSpacer = nullptr;
    class QTrackButton* m_pTrackButton[QFileProcessSetupWidget::kTracks] = {};
    QList<QFileProcessSetupWidget*> m_ListFileProcess;
    QFileProcessSetupWidget::tProcessType m_nProcessType = QFileProcessSetupWidget::ProcessStereoMixTracks;
    QFileProcessSetupWidget* m_pPosSource = nullptr;
    QMetaObject::Connection m_PosConnection;
    int m_nNbFiles = 0;
};

#endif
