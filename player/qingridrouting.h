#ifndef NALVO_PLAYER_QINGRIDROUTING_H
#define NALVO_PLAYER_QINGRIDROUTING_H

#include "foundation/mapping.h"
#include "player/playertypes.h"
#include "player/repainthold.h"

#include <QFont>
#include <QList>
#include <QString>
#include <QWidget>

#include <array>

class QMapItem;
class QPanPotItem;
class QTimer;

// Read-only picture of how the recorder's inputs were routed to the 24
// recorded tracks: one column per track of eight input cells and a pan pot,
// under a band of track numbers. Fed one track at a time by the main window.
class QInGridRouting : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kTracks = 24;
    static constexpr int kCells = 8;

    explicit QInGridRouting(QWidget* parent = nullptr);

    void setTrackDisarmed(int track, bool disarmed);
    void getNbRecTrackActive(int* count, int* last) const;
    // Lays the cells and pan pots out for the current size.
    void updateGeometry();
    // Held, the feeds repaint the grid, its cells and pan pots at the hold's
    // end, and only those that then look different: a take selection empties
    // the grid and sets it again, mostly as it was.
    void HoldRepaint(bool hold);

    QMapItem* Cell(int track, int position) const;
    QPanPotItem* PanPot(int track) const;
    int SelectedCell() const { return m_nSelectedCell; }
    int CellWidth() const { return m_nCellWidth; }
    int ColumnGap() const { return m_nGap; }
    int LeftMargin() const { return m_nLeft; }

    // Input kind of a mic table value: 1 mic, 2 M/S mid, 3 M/S side; any
    // other value is shown as a plain mic.
    static tInputMasterType MicKind(int value);

signals:
    void signal_selectedItem(int cell);
    void signal_selectedTrack(int track);
    void signal_InGridInitialised();

public slots:
    void slot_InGridTrackMapChanged(QMapping mapping, int track, bool store);
    void slot_InGridTrackPanChanged(tPostFadePan pan, int track, bool store);
    void slot_InGridTrackActiveChanged(tTrackActive state, int track, bool store);
    void slot_InGridConfigNameChanged(QString name) { m_czConfigName = name; }
    void slot_InGridConfigIdChanged(int) {}
    void slot_ItemClicked(int cell, int button);
    void slot_ItemDoubleClicked(int cell, int button);
    void slot_PanPotClicked(int track, int button);
    void slot_OnKeyboardInputNumberTimeTimeout();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    struct ExtraInput
    {
        tInputMasterType kind;
        int value;
        int index;
    };
    void ShowMapping(int track);
    void SelectCell(int cell);
    int ColumnX(int track) const;
    // The grid's own picture under its cells: the disarmed tracks.
    using Look = std::array<tTrackActive, kTracks>;
    Look CurrentLook() const;
    void RepaintUnlessHeld();

    int m_nSelectedCell = -1;
    int m_nCellWidth = 0;
    int m_nGap = 2;
    int m_nCellHeight = 0;
    int m_nStepCorrection = -1;
    int m_nPanBand = 0;
    int m_nTop = 20;
    int m_nLeft = 0;
    QFont m_fontDisarmed;
    bool m_bDisarmedFontBuilt = false;
    bool m_bDisarmed[kTracks] = {};
    QMapItem* m_pCells[kTracks][kCells] = {};
    QPanPotItem* m_pPanPots[kTracks] = {};
    tPostFadePan m_Pans[kTracks];
    QMapping m_Mappings[kTracks];
    QString m_czConfigName;
    tTrackActive m_States[kTracks];
    QTimer* m_pKeyboardTimer = nullptr;
    int m_nEntryFinished = 1;
    float m_fFontFactor = 1.0f;
    RepaintHold<Look> m_Hold;
};

#endif
