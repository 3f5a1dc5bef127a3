#include "tests/support/userinput.h"

#include "tests/support/riffreader.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDirIterator>
#include <QFileInfo>
#include <QScrollArea>
#include <QWidget>
#include <QWindow>
#include <QtTest>

namespace userinput {

namespace {
QWindow* Native(QWidget* widget)
{
    QWidget* top = widget->window();
    return top->windowHandle();
}
}  // namespace

void Key(QWidget* window, int key, Qt::KeyboardModifiers modifiers)
{
    if (QWindow* native = Native(window))
        QTest::keyClick(native, Qt::Key(key), modifiers);
}

void Type(QWidget* window, const QString& text)
{
    QWindow* native = Native(window);
    for (const QChar c : text)
        if (native)
            QTest::keyClick(native, c.toLatin1());
}

void ClickAt(QWidget* window, QPoint at, Qt::MouseButton button, Qt::KeyboardModifiers modifiers)
{
    if (QWindow* native = Native(window))
        QTest::mouseClick(native, button, modifiers, at);
}

void DragAt(QWidget* window, QPoint from, QPoint to)
{
    QWindow* native = Native(window);
    if (!native)
        return;
    QTest::mousePress(native, Qt::LeftButton, Qt::NoModifier, from);
    QTest::mouseMove(native, (from + to) / 2);
    QTest::mouseMove(native, to);
    QTest::mouseRelease(native, Qt::LeftButton, Qt::NoModifier, to);
}

bool Click(QWidget* target, QPoint local, Qt::MouseButton button, Qt::KeyboardModifiers modifiers)
{
    if (local == QPoint(-1, -1))
        local = target->rect().center();
    // Scrolled into sight first, the innermost scroll area first.
    for (QWidget* parent = target->parentWidget(); parent; parent = parent->parentWidget()) {
        auto* area = qobject_cast<QScrollArea*>(parent);
        if (area && area->widget() && area->widget()->isAncestorOf(target)) {
            const QPoint at = target->mapTo(area->widget(), local);
            area->ensureVisible(at.x(), at.y());
        }
    }
    QWidget* top = target->window();
    const QPoint at = target->mapTo(top, local);
    QWidget* under = top->childAt(at);
    if (target != top && under != target && !target->isAncestorOf(under))
        return false;
    ClickAt(top, at, button, modifiers);
    return true;
}

QMap<QString, QStringList> AudioByTake(const QString& root)
{
    QMap<QString, QStringList> takes;
    const QDir base(root);
    QDirIterator it(root, {QStringLiteral("*.WAV")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo file(it.next());
        const QString key = base.relativeFilePath(file.absolutePath()) + QLatin1Char('/') + file.fileName().left(6);
        takes[key] << QString::fromLatin1(
            QCryptographicHash::hash(fixture::ReadRiffFile(file.absoluteFilePath()).data, QCryptographicHash::Sha1).toHex());
    }
    for (QStringList& hashes : takes)
        hashes.sort();
    return takes;
}

}  // namespace userinput
