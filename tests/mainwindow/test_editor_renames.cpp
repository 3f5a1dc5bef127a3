// The moves of a take's files to new names as an Apply makes them: all or
// nothing at each failing disk call, an Apply killed at each of its renames,
// a load beside the renames, and the long names themselves.
#include "tests/mainwindow/editorday.h"
#include "tests/mainwindow/killedapply.h"

#include "ui_dlgmain.h"

#include "browser/fsitemtype.h"
#include "browser/qbriselfsfilterproxymodel.h"
#include "browser/qbriselfsmodel.h"
#include "foundation/platform/diskprobes.h"
#include "foundation/qpath.h"
#include "foundation/replacejournal.h"
#include "mainwindow/dlgmain.h"
#include "take/soundperform.h"
#include "take/takefamily.h"
#include "take/takerename.h"
#include "tests/support/diskfaultwalk.h"

#include <QDir>
#include <QFileInfo>
#include <QtTest>

using namespace fixture;

class TestEditorRenames : public EditorDayTest
{
    Q_OBJECT

private slots:
    void init()
    {
        if (!CurrentRowInPart())
            QSKIP("a row of another part");
    }
    void cleanup() { ResetDiskSeams(); }

    // The move of a take's files to new names: all or nothing.
    void renameAllOrNothing_data()
    {
        QTest::addColumn<int>("locked");     // member the probe calls write-protected; -1 none
        QTest::addColumn<int>("clash");      // member whose target exists already; -1 none
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("walk");   // a plan of failing disk calls, walked over each call
        QTest::newRow("done") << -1 << -1 << int(TakeRename::Result::Done) << QString();
        QTest::newRow("third member locked") << 2 << -1 << int(TakeRename::Result::Failed) << QString();
        QTest::newRow("first member locked") << 0 << -1 << int(TakeRename::Result::Failed) << QString();
        QTest::newRow("last target exists") << -1 << 3 << int(TakeRename::Result::Clash) << QString();
        for (const auto& plan : DiskFaultPlans())
            QTest::newRow(qPrintable("each call failing: " + plan.first)) << -1 << -1 << -1 << plan.first;
    }

    // Done and told done: every file under its long name; else, once the
    // take is loaded again under either name, every one under its old name.
    // The bytes never change.
    void WalkRenames(const QString& planName)
    {
        ScratchDir folder;
        QStringList from, to;
        QList<QByteArray> bytes;
        QString error;
        const auto bytesOf = [](const QString& path) {
            QFile file(path);
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        };
        tyFaultWalkJob job;
        job.folders = QStringList{folder.path()};
        job.begin = [&] {
            if (!RemoveTree(folder.path()) || !QDir().mkpath(folder.path()))
                return false;
            from = WriteTake(folder.path(), MonoTake("X00001", {0, 1, 2})).files;
            to = from;
            to.replaceInStrings("/X00001_", "/X00001==       1     t1==_");
            bytes.clear();
            for (const QString& path : from)
                bytes << bytesOf(path);
            return from.size() == 3;
        };
        job.run = [&] {
            TakeRename rename;
            for (int i = 0; i < from.size(); ++i)
                rename.Add(from.at(i), to.at(i));
            const bool done = rename.Execute() == TakeRename::Result::Done;
            error = rename.ErrorText();
            return done;
        };
        job.load = [&] {
            QSoundPerform().InitFilesZZ(AudioPathFileShortenedToRacine(from.at(0)), "WAV");
            QSoundPerform().InitFilesZZ(AudioPathFileShortenedToRacine(to.at(0)), "WAV");
        };
        job.check = [&](bool done, bool mayBeDone) {
            const auto under = [&](const QStringList& names) {
                for (int i = 0; i < names.size(); ++i) {
                    if (bytesOf(names.at(i)) != bytes.at(i))
                        return false;
                }
                return QDir(folder.path()).entryList(QDir::Files | QDir::Hidden).size() == names.size();
            };
            if (done)
                return under(to) ? QString() : QString("not renamed");
            if (!error.contains("Every file keeps its old name.") && !error.contains("could not get their old names back")
                && !error.contains(" next "))
                return "not told: " + error;
            // Renamed by the next load: told that the next load settles it,
            // never that every file keeps its old name.
            const QString wrong = ToldAgainstLoad(error, under(to));
            if (!wrong.isEmpty())
                return wrong;
            return under(from) || (mayBeDone && under(to))
                       ? QString()
                       : "mixed: " + QDir(folder.path()).entryList(QDir::Files | QDir::Hidden).join(", ");
        };
        const tyFaultWalk walk = WalkDiskFaults(job, planName);
        QVERIFY2(walk.lczFaults.isEmpty(), qPrintable(walk.lczFaults.join('\n')));
        QVERIFY(walk.nCalls > 0);
    }

    void renameAllOrNothing()
    {
        QFETCH(int, locked);
        QFETCH(int, clash);
        QFETCH(int, result);
        QFETCH(QString, walk);
        if (!walk.isEmpty())
            return WalkRenames(walk);
        ScratchDir folder;
        QStringList from, to;
        for (int i = 0; i < 4; ++i) {
            from << folder.filePath(QStringLiteral("X00001_%1.WAV").arg(i + 1, 2, 10, QLatin1Char('0')));
            to << folder.filePath(QStringLiteral("X00001==       1     t1==_%1.WAV").arg(i + 1, 2, 10, QLatin1Char('0')));
            QFile file(from.last());
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray::number(i));
        }
        if (clash >= 0) {
            QFile file(to.at(clash));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        if (locked >= 0) {
            const QString path = from.at(locked);
            SetWritabilityProbe([path](const QString& asked) { return asked != path; });
        }
        TakeRename rename;
        for (int i = 0; i < 4; ++i)
            rename.Add(from.at(i), to.at(i));
        QCOMPARE(int(rename.Execute()), result);
        for (int i = 0; i < 4; ++i) {
            const bool moved = result == int(TakeRename::Result::Done);
            QVERIFY2(QFileInfo::exists(moved ? to.at(i) : from.at(i)), qPrintable(from.at(i)));
            QVERIFY(!QFileInfo::exists(moved ? from.at(i) : to.at(i)) || i == clash);
        }
        if (result == int(TakeRename::Result::Failed))
            QVERIFY(rename.ErrorText().contains("Every file keeps its old name."));
    }

    // An Apply converting names killed at each of its renames, on a local
    // folder (on an exFAT card: test_editor_renames_exfat).
    void killedApplyRenamesOneName_data() { AddKilledApplyRows(false); }
    void killedApplyRenamesOneName() { RunKilledApply(); }

    // A rename killed after its first move, then the take selected under
    // its old name: the load finishes the moves, and the selection follows
    // the take to its new name.
    void killedRenameSelectedUnderOldName()
    {
        WriteDay({MonoTake("F00001", {0, 1, 2})});
        auto window = NewWindow();
        const QString longRoot = QStringLiteral("F00001==     12A     t3==");
        std::vector<tyReplaceEntry> moves;
        QStringList records;
        for (int t = 1; t <= 3; ++t) {
            moves.push_back({Path(QStringLiteral("F00001_%1.WAV").arg(t, 2, 10, QLatin1Char('0'))),
                             Path(QStringLiteral("%1_%2.WAV").arg(longRoot).arg(t, 2, 10, QLatin1Char('0'))), QString()});
            records << ReplaceJournal::PathFor(moves.back().czTemporary) << ReplaceJournal::PathFor(moves.back().czFinal);
        }
        records.removeDuplicates();
        {
            // As a kill leaves it: recorded, one file moved, never ended.
            ReplaceJournal record;
            QVERIFY(record.BeginRenames(records, moves));
            QVERIFY(QFile::rename(moves[0].czTemporary, moves[0].czFinal));
        }
        // The old name's row, as the browser listed it before the kill.
        QTRY_VERIFY(window->m_pFSModel->index(Path("F00001_02.WAV")).isValid());
        const QModelIndex day = window->m_pFSProxyModel->mapFromSource(window->m_pFSModel->index(m_czDay));
        QModelIndexList old = window->m_pFSProxyModel->match(window->m_pFSProxyModel->index(0, 0, day), FSTakePathRole,
                                                             Path("F00001"), 1, Qt::MatchExactly);
        QCOMPARE(old.size(), 1);
        window->ui->m_CtrlTreeView->selectionModel()->select(old.first(), QItemSelectionModel::ClearAndSelect
                                                                              | QItemSelectionModel::Rows);
        QTRY_COMPARE(window->m_SndPerform.m_czBaseName, longRoot);
        QCOMPARE(window->ui->m_CtrlTreeView->selectionModel()->selectedRows().value(0).data().toString(), longRoot);
        QCOMPARE(RootsOf(m_czDay, "F00001"), QStringList{longRoot});
    }

    void longNames_data()
    {
        QTest::addColumn<QString>("scene");
        QTest::addColumn<QString>("take");
        QTest::addColumn<int>("nTemplate");
        QTest::addColumn<bool>("underscore");
        QTest::addColumn<QString>("middle");
        QTest::newRow("padded") << "12A" << "t3" << 0 << false << "==     12A     t3==";
        QTest::newRow("underscores") << "12A" << "t3" << 0 << true << "_______12A_____t3__";
        QTest::newRow("cut to 8 and 6") << "ABCDEFGHIJ" << "t1234567" << 0 << false << "==ABCDEFGH t12345==";
        QTest::newRow("advanced scene whole") << "S1E04-7" << "3" << 5 << false << "==S1E04 7      3==";
        QTest::newRow("slash and dot") << "1/2.3" << "t1" << 0 << false << "==   1 2 3     t1==";
    }

    void longNames()
    {
        QFETCH(QString, scene);
        QFETCH(QString, take);
        QFETCH(int, nTemplate);
        QFETCH(bool, underscore);
        QFETCH(QString, middle);
        QCOMPARE(TakeNames::LongMiddle(scene, take, nTemplate, underscore), middle);
    }
};

int main(int argc, char** argv)
{
    return RunEditorTest<TestEditorRenames>(argc, argv, &KilledApplyChild);
}
#include "test_editor_renames.moc"
