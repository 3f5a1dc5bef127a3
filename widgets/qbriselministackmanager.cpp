#include "widgets/qbriselministackmanager.h"

#include <QRect>
#include <climits>
#include <cmath>

#include "foundation/messageloging.h"
#include "widgets/qbriselbluelabel.h"
#include "widgets/qbriselministack.h"

namespace {

// A field's place on the screen: left and top, one past its right column,
// the row below it, and its centre.
struct tScreenBox
{
    int left, top, right, below;
    QPoint centre;
};

tScreenBox ScreenBoxOf(const QBriselMiniStack* field)
{
    const QRect frame = field->frameGeometry();
    const int w = frame.width();
    const int h = frame.height();
    const QPoint topLeft = field->mapToGlobal(QPoint(0, 0));
    return {topLeft.x(), topLeft.y(), field->mapToGlobal(QPoint(w, 0)).x(),
            field->mapToGlobal(QPoint(0, h)).y(), field->mapToGlobal(QPoint((w - 1) / 2, (h - 1) / 2))};
}

int TruncatedDistance(const QPoint& a, const QPoint& b)
{
    const double dx = a.x() - b.x();
    const double dy = a.y() - b.y();
    return static_cast<int>(std::sqrt(dx * dx + dy * dy));
}

} // namespace

QBriselMiniStackManager::QBriselMiniStackManager(QObject* parent) : QObject(parent) {}

QBriselMiniStackManager::~QBriselMiniStackManager() = default;

void QBriselMiniStackManager::InsertItem(QBriselMiniStack* field)
{
    m_ltFields.append(field);
    connect(field->Label(), SIGNAL(signal_BlueLabelMouseClick(bool)), this,
            SLOT(slot_BlueLabelMouseClick(bool)));
}

int QBriselMiniStackManager::IndexOfFirstInState(int fieldState) const
{
    for (int i = 0; i < m_ltFields.size(); ++i) {
        if (m_ltFields.at(i)->GetState() == fieldState)
            return i;
    }
    return -1;
}

void QBriselMiniStackManager::MoveSelectionTo(int selected, int chosen)
{
    m_ltFields.at(selected)->SwitchStateTo(QBriselMiniStack::MINISTACK_OFF);
    m_ltFields.at(chosen)->SwitchStateTo(QBriselMiniStack::MINISTACK_SELECTED);
    m_nCurrentIndex = chosen;
}

void QBriselMiniStackManager::MoveInListOrder(int step)
{
    const int count = m_ltFields.size();
    if (count < 2)
        return;
    const int selected = IndexOfFirstInState(QBriselMiniStack::MINISTACK_SELECTED);
    if (selected < 0)
        return;
    int chosen = (selected + step + count) % count;
    for (int tries = 0; tries <= count; ++tries) {
        const int index = (selected + step * (tries + 1) + count * (count + 1)) % count;
        if (m_ltFields.at(index)->IsApplicable()) {
            chosen = index;
            break;
        }
    }
    MoveSelectionTo(selected, chosen);
}

void QBriselMiniStackManager::MiniStackMoveRight()
{
    MoveInListOrder(+1);
}

void QBriselMiniStackManager::MiniStackMoveLeft()
{
    MoveInListOrder(-1);
}

int QBriselMiniStackManager::FindVertical(int selected, int direction) const
{
    const tScreenBox s = ScreenBoxOf(m_ltFields.at(selected));
    int best = -1;
    int bestGap = INT_MAX;
    int bestOverlap = INT_MIN;
    QList<int> candidates;
    for (int i = 0; i < m_ltFields.size(); ++i) {
        if (i == selected || !m_ltFields.at(i)->IsApplicable())
            continue;
        candidates.append(i);
        const tScreenBox f = ScreenBoxOf(m_ltFields.at(i));
        const int gap = direction < 0 ? s.top - f.below : f.top - s.below;
        if (gap < 1 || f.right < s.left)
            continue;
        const int overlap = qMin(s.right, f.right) - qMax(s.left, f.left);
        if (gap < bestGap || (gap == bestGap && overlap > bestOverlap)) {
            best = i;
            bestGap = gap;
            bestOverlap = overlap;
        }
    }
    if (best >= 0)
        return best;

    // Nothing overlapping in that direction: the nearest field there, by
    // centres going up, by top-left against bottom-left going down.
    int bestDistance = INT_MAX;
    const QPoint bottomLeft(s.left, s.below);
    for (int i : candidates) {
        const tScreenBox f = ScreenBoxOf(m_ltFields.at(i));
        int distance;
        if (direction < 0) {
            if (f.centre.y() >= s.centre.y())
                continue;
            distance = TruncatedDistance(f.centre, s.centre);
        } else {
            if (f.top <= s.below)
                continue;
            distance = TruncatedDistance(QPoint(f.left, f.top), bottomLeft);
        }
        if (distance < bestDistance) {
            best = i;
            bestDistance = distance;
        }
    }
    return best;
}

void QBriselMiniStackManager::MiniStackMoveUp()
{
    if (m_ltFields.size() < 2)
        return;
    const int selected = IndexOfFirstInState(QBriselMiniStack::MINISTACK_SELECTED);
    if (selected < 0)
        return;
    const int chosen = FindVertical(selected, -1);
    if (chosen >= 0)
        MoveSelectionTo(selected, chosen);
}

void QBriselMiniStackManager::MiniStackMoveDown()
{
    if (m_ltFields.size() < 2)
        return;
    const int selected = IndexOfFirstInState(QBriselMiniStack::MINISTACK_SELECTED);
    if (selected < 0)
        return;
    const int chosen = FindVertical(selected, +1);
    if (chosen >= 0)
        MoveSelectionTo(selected, chosen);
}

void QBriselMiniStackManager::MiniStackSelectItem(QBriselMiniStack* field)
{
    if (m_ltFields.size() < 2)
        return;
    const int given = m_ltFields.indexOf(field);
    const int selected = IndexOfFirstInState(QBriselMiniStack::MINISTACK_SELECTED);
    if (given < 0 || selected < 0)
        return;
    MoveSelectionTo(selected, given);
}

int QBriselMiniStackManager::MiniStackFieldManager(int key)
{
    if (m_ltFields.isEmpty())
        return 0;
    switch (m_nState) {
    case MANAGER_OFF:
        if (key)
            MiniStackProgressToEdit();
        break;
    case MANAGER_SELECT:
        if (key)
            MiniStackProgressToEdit();
        else
            MiniStackProgressToView();
        break;
    case MANAGER_EDIT: {
        // An edited field goes back to its selected look, whichever key.
        const int edited = IndexOfFirstInState(QBriselMiniStack::MINISTACK_EDIT);
        if (edited >= 0)
            m_ltFields.at(edited)->SwitchStateTo(QBriselMiniStack::MINISTACK_SELECTED);
        m_nState = MANAGER_SELECT;
        break;
    }
    default:
        break;
    }
    return 0;
}

void QBriselMiniStackManager::MiniStackProgressToEdit()
{
    if (m_ltFields.isEmpty())
        return;
    if (m_nState == MANAGER_OFF) {
        if (m_nCurrentIndex >= 0 && m_nCurrentIndex < m_ltFields.size()) {
            QBriselMiniStack* current = m_ltFields.at(m_nCurrentIndex);
            if (current->GetState() == QBriselMiniStack::MINISTACK_OFF)
                current->SwitchStateTo(QBriselMiniStack::MINISTACK_SELECTED);
        }
        m_nState = MANAGER_SELECT;
    } else if (m_nState == MANAGER_SELECT) {
        const int selected = IndexOfFirstInState(QBriselMiniStack::MINISTACK_SELECTED);
        if (selected < 0)
            return;
        QBriselMiniStack* field = m_ltFields.at(selected);
        field->SwitchStateTo(QBriselMiniStack::MINISTACK_EDIT);
        if (field->GetState() == QBriselMiniStack::MINISTACK_EDIT)
            m_nState = MANAGER_EDIT;
    }
}

void QBriselMiniStackManager::MiniStackProgressToView()
{
    if (m_ltFields.isEmpty() || m_nState != MANAGER_SELECT)
        return;
    const int selected = IndexOfFirstInState(QBriselMiniStack::MINISTACK_SELECTED);
    if (selected >= 0)
        m_ltFields.at(selected)->SwitchStateTo(QBriselMiniStack::MINISTACK_OFF);
    m_nState = MANAGER_OFF;
}

int QBriselMiniStackManager::GetState() const
{
    return m_nState;
}

int QBriselMiniStackManager::GetSelectedMiniStackField(QBriselMiniStack** out) const
{
    const int index = IndexOfFirstInState(QBriselMiniStack::MINISTACK_SELECTED);
    if (index < 0)
        return 1;
    *out = m_ltFields.at(index);
    return 0;
}

int QBriselMiniStackManager::GetEditMiniStackField(QBriselMiniStack** out) const
{
    const int index = IndexOfFirstInState(QBriselMiniStack::MINISTACK_EDIT);
    if (index < 0)
        return 1;
    *out = m_ltFields.at(index);
    return 0;
}

void QBriselMiniStackManager::slot_BlueLabelMouseClick(bool doubleClick)
{
    int clicked = -1;
    for (int i = 0; i < m_ltFields.size(); ++i) {
        if (m_ltFields.at(i)->IsClicked()) {
            clicked = i;
            break;
        }
    }
    if (clicked >= 0) {
        m_ltFields.at(clicked)->AckClicked();
        if (m_nState == MANAGER_OFF) {
            m_nCurrentIndex = clicked;
            emit signal_UserClickedOk(doubleClick);
        } else if (m_nState == MANAGER_SELECT) {
            const int selected = IndexOfFirstInState(QBriselMiniStack::MINISTACK_SELECTED);
            if (selected == clicked) {
                emit signal_UserClickedOk(doubleClick);
            } else if (selected >= 0) {
                MiniStackSelectItem(m_ltFields.at(clicked));
                m_nCurrentIndex = clicked;
                emit signal_UserClickedOk(doubleClick);
            }
        }
    }
    MyQDebug("QBriselMiniStackManager::slot_BlueLabelMouseClick(%d) field %d state %d", doubleClick ? 1 : 0,
             clicked, m_nState);
}
