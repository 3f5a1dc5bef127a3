#include "widgets/clickfocus.h"

#include <QAbstractSpinBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QWidget>

namespace {
bool IsTextField(const QWidget* widget)
{
    if (const auto* combo = qobject_cast<const QComboBox*>(widget))
        return combo->isEditable();
    return qobject_cast<const QLineEdit*>(widget) || qobject_cast<const QAbstractSpinBox*>(widget)
           || qobject_cast<const QTextEdit*>(widget) || qobject_cast<const QPlainTextEdit*>(widget);
}
}  // namespace

void LeaveKeysWithWindowOnClick(QWidget* window)
{
    for (QWidget* widget : window->findChildren<QWidget*>()) {
        const Qt::FocusPolicy policy = widget->focusPolicy();
        if (widget->window() != window || !(policy & Qt::ClickFocus) || IsTextField(widget))
            continue;
        widget->setFocusPolicy(policy & Qt::TabFocus ? Qt::TabFocus : Qt::NoFocus);
    }
}
