#include "player/qingridrouting.h"

#include "foundation/fonts.h"
#include "player/fontfit.h"
#include "player/qmapitem.h"
#include "player/qpanpotitem.h"
#include "widgets/sharedfonts.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QTimer>
#include <algorithm>

QInGridRouting::QInGridRouting(QWidget* parent)
    : QWidget(parent)
    , m_fFontFactor(FontFactor())
{
    std::fill(std::begin(m_States), std::end(m_States), TrackActiveNone);
    m_pKeyboardTimer = new QTimer(this);
    connect(m_pKeyboardTimer, SIGNAL(timeout()), this, SLOT(slot_OnKeyboardInputNumberTimeTimeout()));
    for (int t = 0; t < kTracks; ++t) {
        for (int k = 0; k < kCells; ++k) {
            QMapItem* cell = new QMapItem(this, InputNone, k, t * kCells + k, false);
            cell->setObjectName(QString::asprintf("m_Ctrl_InGrid_OutmapItem_T%d_%d", t + 1, k + 1));
            m_pCells[t][k] = cell;
        }
        QPanPotItem* pot = new QPanPotItem(this, t);
        pot->setObjectName(QString::asprintf("m_Ctrl_InGrid_PanPotItem_T%d", t + 1));
        m_pPanPots[t] = pot;
    }
    emit signal_selectedItem(-1);
    emit signal_selectedTrack(-1);
}

QMapItem* QInGridRouting::Cell(int track, int position) const
{
    if (track < 0 || track >= kTracks || position < 0 || position >= kCells)
        return nullptr;
    return m_pCells[track][position];
}

QPanPotItem* QInGridRouting::PanPot(int track) const
{
    return track >= 0 && track < kTracks ? m_pPanPots[track] : nullptr;
}

tInputMasterType QInGridRouting::MicKind(int value)
{
    switch (value) {
    case 2: return InputMsMid;
    case 3: return InputMsSide;
    default: return InputMic;
    }
}

// --- layout ----------------------------------------------------------------

int QInGridRouting::ColumnX(int track) const
{
    return track * (m_nCellWidth + m_nGap) + m_nLeft;
}

void QInGridRouting::updateGeometry()
{
    const int w = width();
    const int h = height();
    m_nTop = 20;
    const int n = ((w - 46) % 24) + 46;
    m_nGap = n >= 46 ? n / 23 : 2;
    m_nCellWidth = (w - 23 * m_nGap) / 24;
    m_nLeft = (w - 23 * m_nGap - 24 * m_nCellWidth) / 2;
    m_nCellHeight = (h - 1 - m_nTop + 9) / 9;
    m_nPanBand = (h - 1 - m_nTop) - 8 * m_nCellHeight + 8;
    const int step = m_nCellHeight + m_nStepCorrection;
    for (int t = 0; t < kTracks; ++t) {
        const int x = ColumnX(t);
        for (int k = 0; k < kCells; ++k)
            m_pCells[t][k]->setGeometry(x, m_nTop + k * step, m_nCellWidth, m_nCellHeight);
        m_pPanPots[t]->setGeometry(x, m_nTop + 8 * step + 3, m_nCellWidth, std::max(m_nPanBand - 4, 0));
    }
}

void QInGridRouting::resizeEvent(QResizeEvent*)
{
    updateGeometry();
}

void QInGridRouting::HoldRepaint(bool hold)
{
    if (hold == m_Hold.Held())
        return;
    for (int t = 0; t < kTracks; ++t) {
        for (QMapItem* cell : m_pCells[t])
            cell->HoldRepaint(hold);
        m_pPanPots[t]->HoldRepaint(hold);
    }
    m_Hold.Turn(hold, CurrentLook(), this);
}

QInGridRouting::Look QInGridRouting::CurrentLook() const
{
    Look look;
    std::copy(std::begin(m_States), std::end(m_States), look.begin());
    return look;
}

void QInGridRouting::RepaintUnlessHeld() { m_Hold.Changed(this); }

// --- feeds -----------------------------------------------------------------

void QInGridRouting::slot_InGridTrackMapChanged(QMapping mapping, int track, bool store)
{
    if (track < 0 || track >= kTracks)
        return;
    if (store) {
        m_Mappings[track].clear();
        m_Mappings[track] = mapping;
    }
    ShowMapping(track);
}

void QInGridRouting::ShowMapping(int track)
{
    const QMapping& shown = m_Mappings[track];
    m_pPanPots[track]->setActive(shown.count() != 0);

    tInputMasterType kinds[kCells];
    std::fill(std::begin(kinds), std::end(kinds), InputNone);
    QList<ExtraInput> extras;
    auto place = [&](const QHash<int, int>& table, tInputMasterType fixedKind, bool mic) {
        for (auto it = table.constBegin(); it != table.constEnd(); ++it) {
            const tInputMasterType kind = mic ? MicKind(it.value()) : fixedKind;
            if (it.key() <= 7)
                kinds[it.key()] = kind;
            else
                extras.append({kind, it.value(), it.key()});
        }
    };
    place(shown.mic(), InputMic, true);
    place(shown.line(), InputLine, false);
    place(shown.digi(), InputDigital, false);
    place(shown.aes42(), InputAes42, false);
    place(shown.mix(), InputMix, false);
    place(shown.dante(), InputDante, false);
    place(shown.track(), InputTrack, false);
    place(shown.postfade(), InputPostFade, false);

    for (int i = 0; i < kCells; ++i) {
        QMapItem* cell = m_pCells[track][i];
        cell->setType(kinds[i]);
        cell->setIndex(i);
        cell->setMap(-1, kinds[i] != InputNone ? 1 : 0);
    }
    std::stable_sort(extras.begin(), extras.end(),
                     [](const ExtraInput& a, const ExtraInput& b) { return a.index < b.index; });
    for (const ExtraInput& extra : qAsConst(extras)) {
        for (int i = 0; i < kCells; ++i) {
            QMapItem* cell = m_pCells[track][i];
            if (cell->map(-1) != 0)
                continue;
            cell->setType(extra.kind);
            cell->setMap(-1, 1);
            cell->setIndex(extra.index);
            break;
        }
    }
}

void QInGridRouting::slot_InGridTrackPanChanged(tPostFadePan pan, int track, bool store)
{
    if (track < 0 || track >= kTracks)
        return;
    if (store)
        m_Pans[track] = pan;
    m_pPanPots[track]->setPan(m_Pans[track]);
    RepaintUnlessHeld();
}

void QInGridRouting::slot_InGridTrackActiveChanged(tTrackActive state, int track, bool store)
{
    if (track < 0 || track >= kTracks)
        return;
    if (store)
        m_States[track] = state;
    setTrackDisarmed(track, state == TrackActiveDisarmed);
    RepaintUnlessHeld();
}

void QInGridRouting::setTrackDisarmed(int track, bool disarmed)
{
    if (track < 0 || track >= kTracks)
        return;
    m_bDisarmed[track] = disarmed;
    for (QMapItem* cell : m_pCells[track])
        cell->setDeactivated(disarmed);
    m_pPanPots[track]->setDesarmed(disarmed);
    RepaintUnlessHeld();
}

void QInGridRouting::getNbRecTrackActive(int* count, int* last) const
{
    int n = 0;
    int highest = -1;
    for (int t = 0; t < kTracks; ++t) {
        if (m_Mappings[t].count() != 0 && !m_bDisarmed[t]) {
            ++n;
            highest = t;
        }
    }
    if (count)
        *count = n;
    if (last)
        *last = highest;
}

// --- selection (offered, not connected) ------------------------------------

void QInGridRouting::SelectCell(int cell)
{
    m_nSelectedCell = cell;
    emit signal_selectedItem(cell);
    emit signal_selectedTrack(cell / kCells);
    if (QMapItem* item = Cell(cell / kCells, cell % kCells))
        item->raise();
    update();
}

void QInGridRouting::slot_ItemClicked(int cell, int button)
{
    if (button == Qt::LeftButton && cell >= 0 && cell < kTracks * kCells)
        SelectCell(cell);
}

void QInGridRouting::slot_ItemDoubleClicked(int cell, int button)
{
    slot_ItemClicked(cell, button);
}

void QInGridRouting::slot_PanPotClicked(int track, int button)
{
    Q_UNUSED(button);
    if (track < 0 || track >= kTracks)
        return;
    if (m_nSelectedCell >= 0 && m_nSelectedCell / kCells == track)
        return;
    SelectCell(track * kCells);
}

void QInGridRouting::slot_OnKeyboardInputNumberTimeTimeout()
{
    m_nEntryFinished = 1;
}

// --- painting --------------------------------------------------------------

void QInGridRouting::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const int step = m_nCellHeight + m_nStepCorrection;
    const int cw = m_nCellWidth;
    if (!m_bDisarmedFontBuilt) {
        QFont font = generalFont6;
        font.setWeight(QFont::Bold);
        const QRectF box = QFontMetricsF(font).boundingRect(QRectF(0, 0, 8 * step, cw),
                                                            Qt::TextSingleLine | Qt::TextDontClip,
                                                            QStringLiteral("Disarmed"));
        if (box.width() > 0 && box.height() > 0)
            font = ScaledFont(font, float(std::min(8.0 * step / box.width(), cw / box.height())));
        m_fontDisarmed = font;
        m_bDisarmedFontBuilt = true;
    }

    const int selectedTrack = m_nSelectedCell >= 0 ? m_nSelectedCell / kCells : -1;
    if (selectedTrack >= 0) {
        const int x = ColumnX(selectedTrack);
        painter.fillRect(QRect(QPoint(x, m_nTop + 1), QPoint(x + cw - 1, m_nTop + 8 * step)),
                         QColor(255, 253, 0, 25));
    }

    QFont normal = ScaledFont(generalFont7, m_fFontFactor);
    QFont selected = ScaledFont(generalFont8, m_fFontFactor);
    selected.setWeight(QFont::Bold);
    for (int t = 0; t < kTracks; ++t) {
        const int x = ColumnX(t);
        const bool isSelected = t == selectedTrack;
        painter.setPen(isSelected ? QColor(255, 255, 0) : QColor(Qt::white));
        painter.setFont(isSelected ? selected : normal);
        painter.drawText(QRect(QPoint(x, 0), QPoint(x + cw - 1, m_nTop - 1)), Qt::AlignCenter,
                         QString::number(t + 1));
    }

    painter.setFont(m_fontDisarmed);
    painter.setPen(QColor(255, 0, 0));
    for (int t = 0; t < kTracks; ++t) {
        if (m_States[t] != TrackActiveDisarmed)
            continue;
        painter.save();
        painter.translate(ColumnX(t), m_nTop + 8 * step);
        painter.rotate(270);
        painter.drawText(QRect(QPoint(0, 0), QPoint(8 * step - 1, cw - 1)), Qt::AlignCenter,
                         QStringLiteral("Disarmed"));
        painter.restore();
    }
}
