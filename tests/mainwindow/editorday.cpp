#include "tests/mainwindow/editorday.h"

#include "ui_dlgmain.h"

#include "browser/qbriselfsfilterproxymodel.h"
#include "browser/qbriselfsmodel.h"
#include "foundation/platform/diskcalls.h"
#include "foundation/platform/diskprobes.h"
#include "mainwindow/dlgmain.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QtTest>

using namespace fixture;

QString EditorDayTest::NewCard()
{
    m_pRoot = std::make_unique<ScratchDir>();
    qputenv("NALVO_VOLUMES_ROOT", m_pRoot->path().toUtf8());
    return m_pRoot->path();
}

void EditorDayTest::WriteDay(const QList<TakeSpec>& takes, const QString& project)
{
    m_czDay = MakeDay(MakeProject(MakeVolume(NewCard(), "CARD"), project), QDate(2024, 5, 1));
    for (const TakeSpec& take : takes)
        QVERIFY(!WriteTake(m_czDay, take).files.isEmpty());
}

std::unique_ptr<DlgMain> EditorDayTest::NewWindow()
{
    auto window = std::make_unique<DlgMain>();
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get()))
        qWarning("window not exposed");
    return window;
}

void EditorDayTest::Select(DlgMain& window, const QStringList& files)
{
    QItemSelectionModel* model = window.ui->m_CtrlTreeView->selectionModel();
    model->clearSelection();
    for (const QString& file : files) {
        // The volume poller lists the card in its own time.
        QTRY_VERIFY2(window.m_pFSModel->index(file).isValid(), qPrintable(file));
        QModelIndex view = window.m_pFSProxyModel->mapFromSource(window.m_pFSModel->index(file));
        // The browser shows one row per take, on one of its files.
        const QFileInfo info(file);
        for (const QFileInfo& member : info.dir().entryInfoList({info.fileName().left(6) + "*.WAV"}))
            if (!view.isValid())
                view = window.m_pFSProxyModel->mapFromSource(window.m_pFSModel->index(member.filePath()));
        QVERIFY2(view.isValid(), qPrintable(file));
        model->select(view, QItemSelectionModel::Select | QItemSelectionModel::Rows);
        if (file == files.first())   // the first row clicked is the current one
            model->setCurrentIndex(view, QItemSelectionModel::NoUpdate);
    }
    window.m_pTimerSelection->stop();
    window.slot_TimerSelectionChanged();
}

void EditorDayTest::Type(QLineEdit* edit, const QString& text)
{
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, text);
}

void EditorDayTest::Grab(QWidget* widget, const QString& name)
{
    const QString folder = qEnvironmentVariable("NALVO_GRAB_DIR");
    if (!folder.isEmpty()) {
        QTest::qWait(300);
        widget->grab().save(folder + QLatin1Char('/') + name + QStringLiteral(".png"));
    }
}

void EditorDayTest::ResetDiskSeams()
{
    SetWritabilityProbe(WritabilityProbe());
    DiskFaults::Disarm();
}
