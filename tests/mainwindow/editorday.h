#ifndef NALVO_TESTS_MAINWINDOW_EDITORDAY_H
#define NALVO_TESTS_MAINWINDOW_EDITORDAY_H

#include "tests/support/fixturewriter.h"
#include "tests/support/scratchdir.h"
#include "tests/support/tableparts.h"

#include <QApplication>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QtTest>

#include <memory>

class DlgMain;
class QLineEdit;
class QWidget;

// What the editor tests share: a card of one day holding the takes a test
// writes, in a scratch folder of its own, the window on it, and selections
// and typing done as a user does them.
class EditorDayTest : public QObject
{
protected:
    // A fresh card folder the window lists; the last one goes.
    QString NewCard();
    // A fresh card with one day of the takes given.
    void WriteDay(const QList<fixture::TakeSpec>& takes, const QString& project = QStringLiteral("FILM"));
    QString Path(const QString& name) const { return m_czDay + QLatin1Char('/') + name; }

    static std::unique_ptr<DlgMain> NewWindow();
    // Selects the rows of these files as a user would, then lets the
    // dispatcher run at once.
    static void Select(DlgMain& window, const QStringList& files);
    static void Type(QLineEdit* edit, const QString& text);
    // NALVO_GRAB_DIR receives PNGs of the window for looking at.
    static void Grab(QWidget* widget, const QString& name);
    // The probes and faults a test may have set, back to the real ones.
    static void ResetDiskSeams();

    std::unique_ptr<fixture::ScratchDir> m_pRoot;
    QString m_czDay;
};

// A program's main: the application at 96 dpi, then the test (its rows of
// a part, "--part k/n": see TakeTablePart), or instead the child process a
// test started (child answers -1 when it is not one).
template <typename Test>
int RunEditorTest(int argc, char** argv, int (*child)(int, char**) = nullptr)
{
    if (!TakeTablePart(&argc, argv))
        return 2;
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    const int childCode = child ? child(argc, argv) : -1;
    if (childCode >= 0)
        return childCode;
    Test test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#endif
