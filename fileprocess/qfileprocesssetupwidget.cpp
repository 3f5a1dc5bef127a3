#include "fileprocess/qfileprocesssetupwidget.h"

#include "fileprocess/processinformation.h"
#include "fileprocess/processsizes.h"
#include "fileprocess/qcheckitem.h"
#include "foundation/fonts.h"
#include "player/qpanpotitem.h"
#include "player/qtrackbutton.h"
#include "widgets/sharedfonts.h"

#include <QCheckBox>
#include <QFontMetrics>
#include <QPainter>
#include <QScrollArea>
#include <QSpacerItem>
#include <QStackedWidget>
#include <QStyle>
#include <QVBoxLayout>

namespace {
constexpr int kRowHeight = 35;
const QColor kOversize(191, 104, 0);
const QColor kPairFill(189, 51, 164);

// A track's gain as its column holds it with a blank's width to spare:
// without its unit when the column is too narrow for it, so that
// neighbouring gains do not run together.
QString FittedGainText(const QString& text, const QFontMetrics& metrics, int width)
{
    if (metrics.horizontalAdvance(text + QLatin1Char(' ')) <= width || !text.endsWith(QLatin1String(" dB")))
        return text;
    return text.chopped(3);
}

QFont Scaled(QFont font, float factor)
{
    if (font.pointSizeF() > 0 && factor > 0)
        font.setPointSizeF(font.pointSizeF() * factor);
    return font;
}
}

QFileProcessSetupWidget::QFileProcessSetupWidget(QWidget* parent, int id)
    : QWidget(parent)
    , m_nId(id)
{
    m_fFontFactor = FontFactor();
    m_nTextHeight = QFontMetrics(Scaled(generalFont7, m_fFontFactor)).height();
    m_czFileName = QStringLiteral("WW8888==WWWW_WW_w99==");

    static const char* const kGains[] = {"+12 dB", "+9 dB", "+6 dB", "+3 dB", "0 dB",
                                         "-3 dB",  "-6 dB", "-9 dB", "-12 dB"};
    for (int g = 0; g < 9; ++g)
        m_GainText.insert(g, QLatin1String(kGains[g]));
}

void QFileProcessSetupWidget::EnsureControls()
{
    if (m_bControls)
        return;
    m_bControls = true;
    m_pStack = new QStackedWidget(this);
    m_pStack->setStyleSheet(QStringLiteral("QWidget{background-color:transparent}"));
    m_pStack->addWidget(new QWidget(m_pStack));
    m_pStack->addWidget(new QWidget(m_pStack));
    m_pStack->setCurrentIndex(CurrentPage());
    m_pStack->show();
    for (int t = 0; t < kTracks; ++t) {
        m_pPanPot[t] = new QPanPotItem(m_pStack->widget(0), t);
        connect(m_pPanPot[t], &QPanPotItem::signal_itemClicked, this,
                [this, t](int, int) { slot_PanPotItemClicked(t); });
        m_pCheckItem[t] = new QCheckItem(m_pStack->widget(1), t);
        connect(m_pCheckItem[t], &QCheckItem::signal_itemClicked, this,
                [this, t](int, int) { slot_CheckItemClicked(t); });
        m_pPanPot[t]->setPan(100, 100);
    }
    for (int k = 0; k < kPairs; ++k) {
        m_pCheckBoxMS[k] = new QCheckBox(m_pStack->widget(0));
        m_pCheckBoxMS[k]->setFixedSize(24, 13);
        m_pCheckBoxMS[k]->setObjectName(QStringLiteral("CheckBox_%1-%2").arg(2 * k + 1).arg(2 * k + 2));
        connect(m_pCheckBoxMS[k], &QCheckBox::stateChanged, this, [this, k](int) { slot_CheckBoxStateChanged(k); });
    }
    // Made after their page was shown: each is shown by hand.
    for (int t = 0; t < kTracks; ++t) {
        m_pPanPot[t]->show();
        m_pCheckItem[t]->show();
    }
    for (int k = 0; k < kPairs; ++k)
        m_pCheckBoxMS[k]->show();
    if (m_pInfo)
        LoadControls();
    if (m_nTrackWidth > 0)
        updatePos();
}

int QFileProcessSetupWidget::CurrentPage() const
{
    return m_nProcessType > ProcessStereoRemix ? 1 : 0;
}

bool QFileProcessSetupWidget::PairLocked(int track) const
{
    const int k = track / 2;
    return m_bControls && m_pInfo && m_pInfo->pbMSPair[k] && m_pCheckBoxMS[k]->isChecked();
}

void QFileProcessSetupWidget::SetFileProcessInfo(tProcessInformation* info)
{
    if (!info)
        return;
    m_czFileName = info->czTagName;
    m_pInfo = info;
    if (m_bControls)
        LoadControls();
    ComputeProcessSize();
    update();
}

void QFileProcessSetupWidget::DisplayedPans(const tProcessInformation& info, tProcessType type, int* left, int* right)
{
    int mixLeft = -1, mixRight = -1;
    for (int t = 0; t < kTracks; ++t) {
        left[t] = info.pnPanLeft[t];
        right[t] = info.pnPanRight[t];
        // A muted track of a re-mix shows as out of the mix, which is how
        // the stereo kinds mute: the write-back keeps it muted.
        if (type == ProcessStereoRemix && info.pbTrackMute[t])
            left[t] = right[t] = 0;
        if (!info.pbPresent[t])
            continue;
        const QMapping& map = info.Mapping[t];
        if (type == ProcessStereoMixTracks) {
            if (map.hasMixLeft() && mixLeft < 0)
                mixLeft = t;
            else if (map.hasMixRight() && mixRight < 0)
                mixRight = t;
            else
                left[t] = right[t] = 0;
        } else if (map.hasMixLeft() || map.hasMixRight()) {
            left[t] = right[t] = 0;
        }
    }
    if (type == ProcessStereoMixTracks) {
        if (mixLeft >= 0 && mixRight >= 0) {
            left[mixLeft] = 100;
            right[mixLeft] = 0;
            left[mixRight] = 0;
            right[mixRight] = 100;
        } else if (mixLeft >= 0 || mixRight >= 0) {
            left[qMax(mixLeft, mixRight)] = right[qMax(mixLeft, mixRight)] = 100;
        }
    }
}

void QFileProcessSetupWidget::LoadControls()
{
    const tProcessInformation* info = m_pInfo;
    int left[kTracks], right[kTracks];
    DisplayedPans(*info, m_nProcessType, left, right);
    for (int t = 0; t < kTracks; ++t) {
        const bool present = info->pbPresent[t];
        m_pCheckItem[t]->setDisabled(!present);
        m_pCheckItem[t]->SetChecked(!info->pbTrackMute[t]);
        m_pPanPot[t]->setPan(left[t], right[t]);
        m_pPanPot[t]->setActive(present);
        const QString tip = QStringLiteral("<span style=\"font-size:8pt;\">On T%1: %2</span>")
                                .arg(t + 1)
                                .arg(info->Mapping[t].displayString());
        m_pPanPot[t]->setToolTip(tip);
        m_pCheckItem[t]->setToolTip(tip);
    }
    for (int k = 0; k < kPairs; ++k) {
        m_pCheckBoxMS[k]->setVisible(info->pbMSPair[k]);
        // The recorded mix of kind 0 takes no settings: nothing to decode.
        m_pCheckBoxMS[k]->setEnabled(m_nProcessType != ProcessStereoMixTracks);
        QSignalBlocker quiet(m_pCheckBoxMS[k]);
        m_pCheckBoxMS[k]->setChecked(info->pbSwapMS[k]);
    }
}

void QFileProcessSetupWidget::SetProcessType(tProcessType type, int minTrackCount, int rotateCount,
                                             int rotateMaxTrack)
{
    if (type == m_nProcessType && minTrackCount == m_nMinTrack && rotateCount == m_nRotateCount
        && rotateMaxTrack == m_nRotateMaxTrack)
        return;
    // The reload below shows the record: keep the user's edits there first.
    if (m_pInfo && m_bControls && type != m_nProcessType)
        ApplySettingsToInfo();
    m_nProcessType = type;
    m_nMinTrack = minTrackCount;
    m_nRotateCount = rotateCount;
    m_nRotateMaxTrack = rotateMaxTrack;
    if (m_pStack)
        m_pStack->setCurrentIndex(CurrentPage());
    if (m_pInfo)
        SetFileProcessInfo(m_pInfo);
    ComputeProcessSize();
    update();
}

void QFileProcessSetupWidget::ComputeProcessSize()
{
    if (m_pInfo) {
        bool kept[kTracks];
        for (int t = 0; t < kTracks; ++t)
            kept[t] = m_bControls ? m_pCheckItem[t]->Checked() : !m_pInfo->pbTrackMute[t];
        const int channels = procsize::ChannelCount(m_nProcessType, m_pInfo->pbPresent, kept, m_nMinTrack,
                                                    m_nRotateCount, m_nRotateMaxTrack, m_pInfo->TrackMax);
        m_nComputedSize = qint64(channels) * qint64(m_pInfo->FileSize);
    }
    m_czComputedSize = procsize::RowSizeText(quint64(m_nComputedSize));
}

bool QFileProcessSetupWidget::ApplySettingsToInfo()
{
    if (!m_pInfo)
        return true;
    // Kind 0 writes the recorded mix as it is: its pots show the routing,
    // not a choice, and leave the record alone.
    if (m_nProcessType != ProcessStereoMixTracks) {
        // A row never shown has the record's values in its controls.
        int shownLeft[kTracks], shownRight[kTracks];
        DisplayedPans(*m_pInfo, m_nProcessType, shownLeft, shownRight);
        for (int t = 0; t < kTracks; ++t) {
            if (IsStereo()) {
                int left = shownLeft[t], right = shownRight[t];
                if (m_bControls)
                    m_pPanPot[t]->pan(&left, &right);
                m_pInfo->pnPanLeft[t] = qint16(left);
                m_pInfo->pnPanRight[t] = qint16(right);
                m_pInfo->pbTrackMute[t] = left == 0 && right == 0;
            } else {
                if (m_bControls)
                    m_pInfo->pbTrackMute[t] = !m_pCheckItem[t]->Checked();
            }
        }
        for (int k = 0; k < kPairs && m_bControls; ++k)
            m_pInfo->pbSwapMS[k] = m_pCheckBoxMS[k]->isChecked();
    }
    ComputeProcessSize();
    m_pInfo->ComputedSize = m_nComputedSize;
    return !procsize::TooLarge(quint64(m_nComputedSize));
}

void QFileProcessSetupWidget::GetPos(int* trackX, int* trackWidth, int* itemSize) const
{
    if (!trackX || !trackWidth || !itemSize)
        return;
    *trackX = m_nTrackX;
    *trackWidth = m_nTrackWidth;
    *itemSize = m_nItemSize;
}

void QFileProcessSetupWidget::updatePos()
{
    const int w = width(), h = height();
    const int nameWidth = qBound(qMin(kLeastNameWidth, m_nFileNameWidth), w - kTracks * kRoomyTrackWidth,
                                 m_nFileNameWidth);
    const int trackWidth = (w - nameWidth) / kTracks;
    const int trackHeight = h - m_nTextHeight;
    const int itemSize = qMax(1, qMin(qMin(qMin(trackWidth, trackHeight) - 4, h - 2), trackWidth - 13));
    const int trackX = w - kTracks * trackWidth;
    if (m_pStack) {
        m_pStack->setGeometry(trackX, 0, kTracks * trackWidth, h);
        for (int p = 0; p < m_pStack->count(); ++p)
            m_pStack->widget(p)->setGeometry(0, 0, kTracks * trackWidth, h);
    }
    m_nTrackX = trackX;
    m_nItemSize = itemSize;
    m_nTrackWidth = trackWidth;
    m_nTrackHeight = trackHeight;
    const int xOffset = (trackWidth - itemSize) / 2;
    const int yOffset = (trackHeight - itemSize) / 2;
    for (int t = 0; t < kTracks && m_bControls; ++t) {
        m_pPanPot[t]->setGeometry(t * trackWidth + xOffset, yOffset, itemSize, itemSize);
        m_pCheckItem[t]->setGeometry(t * trackWidth + xOffset, yOffset, itemSize, itemSize);
    }
    for (int k = 0; k < kPairs && m_bControls; ++k)
        m_pCheckBoxMS[k]->move((2 * k + 1) * trackWidth - 12, (h - 13) / 2);
    emit signal_posChanged(trackX, trackWidth, itemSize);
}

void QFileProcessSetupWidget::SetFileNameWidth(int w)
{
    m_nFileNameWidth = w;
    updatePos();
}

void QFileProcessSetupWidget::SetFileName(QString name)
{
    m_czFileName = name;
    // A long name may be drawn shortened.
    setToolTip(name);
    update();
}

tyRowTextPlaces PlaceRowTexts(const QFontMetrics& nameMetrics, const QFontMetrics& smallMetrics, const QString& name,
                              const QString& size, const QRect& column)
{
    tyRowTextPlaces places;
    const int width = column.width();
    const int sizeWidth = nameMetrics.horizontalAdvance(size);
    const int twoLines = nameMetrics.height() + smallMetrics.height();
    const int nameBlank = nameMetrics.ascent() - nameMetrics.capHeight();
    if (nameMetrics.horizontalAdvance(name) + sizeWidth > width && twoLines <= column.height() + nameBlank) {
        const int top = column.top() + qMax(-nameBlank, (column.height() - twoLines) / 2);
        places.czName = nameMetrics.elidedText(name, Qt::ElideMiddle, width);
        places.nameRect = QRect(column.left(), top, width, nameMetrics.height());
        places.czSize = smallMetrics.elidedText(size.trimmed(), Qt::ElideRight, width);
        places.sizeRect = QRect(column.left(), places.nameRect.bottom() + 1, width, smallMetrics.height());
        places.bSizeBelow = true;
        return places;
    }
    places.czSize = nameMetrics.elidedText(size, Qt::ElideRight, width);
    const int shownSize = nameMetrics.horizontalAdvance(places.czSize);
    places.czName = nameMetrics.elidedText(name, Qt::ElideMiddle, width - shownSize);
    places.nameRect = QRect(column.left(), column.top(), nameMetrics.horizontalAdvance(places.czName), column.height());
    places.sizeRect = QRect(places.nameRect.right() + 1, column.top(), shownSize, column.height());
    return places;
}

void QFileProcessSetupWidget::slot_PanPotItemClicked(int track)
{
    if (!m_bControls || track < 0 || track >= kTracks || !m_pInfo || !m_pInfo->pbPresent[track] || PairLocked(track))
        return;
    if (m_nProcessType == ProcessStereoMixTracks)
        return;
    int l = 0, r = 0;
    m_pPanPot[track]->pan(&l, &r);
    const int button = m_pPanPot[track]->GetLastButton();
    if (button != 1 && button != 2)
        return;
    const bool leftButton = button == 1;
    int nl = l, nr = r;
    if (l == 100 && r == 100) {
        nl = leftButton ? 0 : 100;
        nr = leftButton ? 100 : 0;
    } else if (l == 100) {
        nl = leftButton ? 100 : 0;
        nr = leftButton ? 100 : 0;
    } else if (r == 100) {
        nl = leftButton ? 0 : 100;
        nr = leftButton ? 0 : 100;
    } else if (l == 0 && r == 0) {
        nl = leftButton ? 100 : 0;
        nr = leftButton ? 0 : 100;
    }
    m_pPanPot[track]->setPan(nl, nr);
}

void QFileProcessSetupWidget::slot_CheckBoxStateChanged(int pair)
{
    if (!m_bControls || pair < 0 || pair >= kPairs || !m_pInfo || !m_pInfo->pbMSPair[pair])
        return;
    const bool checked = m_pCheckBoxMS[pair]->isChecked();
    m_pInfo->pbSwapMS[pair] = checked;
    if (checked) {
        m_pInfo->pnPanLeft[2 * pair] = 100;
        m_pInfo->pnPanRight[2 * pair] = 100;
        m_pPanPot[2 * pair]->setPan(100, 100);
        m_pPanPot[2 * pair + 1]->setPan(100, 100);
    }
    update();
}

void QFileProcessSetupWidget::slot_CheckItemClicked(int track)
{
    if (!m_bControls || track < 0 || track >= kTracks || !m_pInfo || !m_pInfo->pbPresent[track])
        return;
    m_pCheckItem[track]->SetChecked(!m_pCheckItem[track]->Checked());
    update();
    // The size first: the signal's receivers add up the rows' sizes.
    ComputeProcessSize();
    emit signal_checkItemChanged();
}

void QFileProcessSetupWidget::resizeEvent(QResizeEvent* event)
{
    if (width() != m_nWidth || height() != m_nHeight) {
        m_nWidth = width();
        m_nHeight = height();
        updatePos();
    }
    QWidget::resizeEvent(event);
}

void QFileProcessSetupWidget::paintEvent(QPaintEvent*)
{
    // The controls of a row are made when it is first painted: a list of
    // hundreds of takes opens without building thousands of hidden widgets.
    if (!m_bControls && !m_bControlsQueued) {
        m_bControlsQueued = true;
        QMetaObject::invokeMethod(this, &QFileProcessSetupWidget::EnsureControls, Qt::QueuedConnection);
    }
    QPainter painter(this);
    const bool oversize = procsize::TooLarge(quint64(m_nComputedSize));
    if (oversize)
        painter.fillRect(rect(), m_nId % 2 ? kOversize : kOversize.darker(200));
    else if (m_nId % 2 == 0)
        painter.fillRect(rect(), QColor(80, 80, 80));

    painter.setFont(Scaled(generalFont9, m_fFontFactor));
    painter.setPen(Qt::white);
    // The name column ends a little before the first track column.
    const int columnEnd = m_nTrackX > 0 ? m_nTrackX - 2 : width();
    const QFont small = Scaled(generalFont7, m_fFontFactor);
    const tyRowTextPlaces texts = PlaceRowTexts(
        painter.fontMetrics(), QFontMetrics(small), m_czFileName,
        oversize ? QStringLiteral(" (!! %1 !!)").arg(m_czComputedSize) : QStringLiteral(" (->%1)").arg(m_czComputedSize),
        QRect(5, 0, qMax(0, columnEnd - 5), height()));
    painter.drawText(texts.nameRect, Qt::AlignLeft | Qt::AlignVCenter, texts.czName);
    if (oversize)
        painter.setPen(QPen(Qt::red, 2, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
    if (texts.bSizeBelow)
        painter.setFont(small);
    painter.drawText(texts.sizeRect, Qt::AlignLeft | Qt::AlignVCenter, texts.czSize);
    if (!m_pInfo || m_nTrackWidth <= 0)
        return;
    painter.setFont(small);
    if (IsStereo()) {
        for (int k = 0; k < kPairs; ++k)
            if (m_pInfo->pbMSPair[k] && (m_bControls ? m_pCheckBoxMS[k]->isChecked() : m_pInfo->pbSwapMS[k]))
                painter.fillRect(m_nTrackX + 2 * k * m_nTrackWidth, 0, 2 * m_nTrackWidth, height(), kPairFill);
    }
    for (int t = 0; t < kTracks; ++t) {
        const int x = m_nTrackX + t * m_nTrackWidth;
        if (m_pInfo->Mapping[t].hasMixLeft())
            painter.fillRect(x, 0, m_nTrackWidth, height(), QColor(184, 0, 0, 128));
        else if (m_pInfo->Mapping[t].hasMixRight())
            painter.fillRect(x, 0, m_nTrackWidth, height(), QColor(58, 157, 35, 128));
        painter.setPen(m_pInfo->pbPresent[t] ? QColor(Qt::white) : QColor(Qt::darkGray));
        painter.drawText(QRect(x, m_nTrackHeight, m_nTrackWidth, m_nTextHeight), Qt::AlignCenter,
                         FittedGainText(m_GainText.value(m_pInfo->pnTrackVolume[t], QStringLiteral("--")),
                                        painter.fontMetrics(), m_nTrackWidth));
    }
}

// ---------------------------------------------------------------------------

QProcessSetupWidget::QProcessSetupWidget(QWidget* parent)
    : QWidget(parent)
{
    m_pScrollArea = new QScrollArea(this);
    m_pScrollArea->setFrameShape(QFrame::NoFrame);
    m_pScrollArea->setWidgetResizable(true);
    m_pContainer = new QWidget;
    m_pLayout = new QVBoxLayout(m_pContainer);
    m_pLayout->setContentsMargins(0, 0, 0, 0);
    m_pLayout->setSpacing(0);
    m_pSpacer = new QSpacerItem(20, 20, QSizePolicy::Minimum, QSizePolicy::Expanding);
    m_pLayout->addItem(m_pSpacer);
    m_pScrollArea->setWidget(m_pContainer);
    for (int t = 0; t < QFileProcessSetupWidget::kTracks; ++t) {
        m_pTrackButton[t] = new QTrackButton(this);
        m_pTrackButton[t]->SetTrackIndex(t);
        m_pTrackButton[t]->SetActive(true);
        m_pTrackButton[t]->FitLabelToWidth();
    }
    // Room for the least row beside the list's scroll bar.
    setMinimumSize(QFileProcessSetupWidget::kLeastWidth + style()->pixelMetric(QStyle::PM_ScrollBarExtent), 107);
}

void QProcessSetupWidget::SetProcessInfo(QList<tProcessInformation*>* list)
{
    if (!list)
        return;
    SetNbFiles(list->size());
    for (int k = 0; k < list->size(); ++k)
        m_ListFileProcess[k]->SetFileProcessInfo(list->at(k));
}

void QProcessSetupWidget::SetNbFiles(int n)
{
    n = qMax(0, n);
    m_pLayout->removeItem(m_pSpacer);
    if (m_PosConnection)
        disconnect(m_PosConnection);
    m_pPosSource = nullptr;
    while (m_ListFileProcess.size() > n) {
        QFileProcessSetupWidget* row = m_ListFileProcess.takeLast();
        m_pLayout->removeWidget(row);
        delete row;
    }
    if (m_ListFileProcess.size() < n) {
        int id = m_ListFileProcess.isEmpty() ? 0 : m_ListFileProcess.last()->id() + 1;
        while (m_ListFileProcess.size() < n) {
            auto* row = new QFileProcessSetupWidget(m_pContainer, id++);
            row->setMinimumHeight(kRowHeight);
            row->setMaximumHeight(kRowHeight);
            row->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Minimum);
            row->SetProcessType(m_nProcessType, m_nMinTrack, m_nRotateCount, m_nRotateMaxTrack);
            connect(row, &QFileProcessSetupWidget::signal_checkItemChanged, this,
                    &QProcessSetupWidget::signal_checkItemChanged);
            m_ListFileProcess.append(row);
            m_pLayout->addWidget(row);
        }
        m_pContainer->resize(width(), kRowHeight * m_ListFileProcess.size());
    }
    if (!m_ListFileProcess.isEmpty()) {
        m_pPosSource = m_ListFileProcess.first();
        m_PosConnection = connect(m_pPosSource, &QFileProcessSetupWidget::signal_posChanged, this,
                                  &QProcessSetupWidget::slot_FileProcessPosChanged);
        int x = -1, w = -1, s = -1;
        m_pPosSource->GetPos(&x, &w, &s);
        if (x != -1 && w != -1 && s != -1)
            slot_FileProcessPosChanged(x, w, s);
    }
    m_pLayout->addItem(m_pSpacer);
    m_nNbFiles = n;
}

void QProcessSetupWidget::SetProcessType(QFileProcessSetupWidget::tProcessType type, int minTrackCount,
                                         int rotateCount, int rotateMaxTrack)
{
    if (type == m_nProcessType && minTrackCount == m_nMinTrack && rotateCount == m_nRotateCount
        && rotateMaxTrack == m_nRotateMaxTrack)
        return;
    m_nProcessType = type;
    m_nMinTrack = minTrackCount;
    m_nRotateCount = rotateCount;
    m_nRotateMaxTrack = rotateMaxTrack;
    for (QFileProcessSetupWidget* row : qAsConst(m_ListFileProcess))
        row->SetProcessType(type, minTrackCount, rotateCount, rotateMaxTrack);
}

bool QProcessSetupWidget::ApplySettingsToInfo()
{
    bool all = true;
    for (QFileProcessSetupWidget* row : qAsConst(m_ListFileProcess))
        all = row->ApplySettingsToInfo() && all;
    return all;
}

void QProcessSetupWidget::slot_FileProcessPosChanged(int trackX, int trackWidth, int itemSize)
{
    const int buttonWidth = itemSize + (trackWidth - itemSize) / 2;
    for (int t = 0; t < QFileProcessSetupWidget::kTracks; ++t) {
        m_pTrackButton[t]->setFixedSize(buttonWidth, 16);
        m_pTrackButton[t]->move(trackX + (trackWidth - buttonWidth) / 2 + t * trackWidth, 2);
    }
}

void QProcessSetupWidget::paintEvent(QPaintEvent*)
{
}

void QProcessSetupWidget::resizeEvent(QResizeEvent* event)
{
    m_pScrollArea->setGeometry(0, 20, width(), height() - 20);
    QWidget::resizeEvent(event);
}
