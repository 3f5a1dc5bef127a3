// The import dialog: planning (groups, ids, the 9999 bound) with an injected
// probe, then real runs on the worker: a family into one take, a stereo file
// into two, two runs without collision, STOP leaving no partial file.
#include "fileprocess/importplan.h"
#include "fileprocess/qdialogimportstranger.h"
#include "soundfile/soundfile.h"
#include "take/soundperform.h"
#include "tests/support/fixturesamples.h"
#include "tests/support/fixturevariants.h"
#include "tests/support/modalboxanswerer.h"
#include "tests/support/riffbytes.h"
#include "tests/support/riffreader.h"
#include "ui_qdialogimportstranger.h"

#include <QAbstractButton>
#include <QDir>
#include <QMessageBox>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace fixture;

namespace {
QStringList Entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// Sources named "<family>:<track>" are family members, others plain files.
importplan::tProbe FakeProbe(const QString& source)
{
    importplan::tProbe p;
    p.readable = !source.startsWith("bad");
    p.recorderFile = source.startsWith("rec");
    p.family = source;
    const int colon = source.indexOf(':');
    if (colon > 0) {
        p.member = true;
        p.channels = 1;
        p.family = source.left(colon);
        p.track = source.mid(colon + 1).toInt();
        p.totalFiles = 3;
    }
    return p;
}
}  // namespace

class TestImportDialog : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void plans_data();
    void plans();
    void familyAndStereoRuns_data();
    void familyAndStereoRuns();
    void stopLeavesNoPartialFile();
    void badIdRefused();
    void refusedFilesFitTheScreen_data();
    void refusedFilesFitTheScreen();

private:
    bool Run(QDialogImportStranger& d, int stopAfterMs = -1);
    QTemporaryDir m_Dir;
    QString m_czIn, m_czDay;
};

void TestImportDialog::init()
{
    static int run = 0;
    m_czIn = m_Dir.path() + "/in" + QString::number(++run);
    m_czDay = m_Dir.path() + "/P.BR1/D" + QString::number(run) + ".OVD";
    QDir().mkpath(m_czIn);
    QDir().mkpath(m_czDay);
}

void TestImportDialog::plans_data()
{
    QTest::addColumn<QStringList>("sources");
    QTest::addColumn<int>("start");
    QTest::addColumn<QStringList>("ids");
    QTest::addColumn<int>("next");
    QTest::addColumn<bool>("overflow");
    QTest::newRow("family is one take") << QStringList{"F:0", "F:1", "F:2"} << 7 << QStringList{"7T0007", "7T0007", "7T0007"} << 8 << false;
    QTest::newRow("plain files one take each") << QStringList{"a", "b"} << 0 << QStringList{"7T0000", "7T0001"} << 2 << false;
    QTest::newRow("repeated track opens a take") << QStringList{"F:0", "F:0"} << 1 << QStringList{"7T0001", "7T0002"} << 3 << false;
    QTest::newRow("two families") << QStringList{"F:0", "G:0", "G:1"} << 1 << QStringList{"7T0001", "7T0002", "7T0002"} << 3 << false;
    QTest::newRow("refused files take no id") << QStringList{"rec1", "bad", "a"} << 5 << QStringList{"7T0005"} << 6 << false;
    QTest::newRow("9999 and two files") << QStringList{"a", "b"} << 9999 << QStringList{} << 9999 << true;
    QTest::newRow("interleaved families") << QStringList{"F:0", "G:0", "F:1", "G:1"} << 1 << QStringList{"7T0001", "7T0002", "7T0001", "7T0002"} << 3 << false;
    QTest::newRow("9999 one family") << QStringList{"F:0", "F:1"} << 9999 << QStringList{"7T9999", "7T9999"} << 10000 << false;
}

void TestImportDialog::plans()
{
    QFETCH(QStringList, sources);
    QFETCH(int, start);
    QFETCH(QStringList, ids);
    QFETCH(int, next);
    QFETCH(bool, overflow);
    const importplan::tPlan plan = importplan::Plan(sources, m_czDay, start, &FakeProbe);
    QStringList got;
    for (const importplan::tItem& item : plan.items)
        got << item.takeId;
    QCOMPARE(got, ids);
    QCOMPARE(plan.nextId, next);
    QCOMPARE(plan.idOverflow, overflow);
    // An id with a file in the day is never planned again.
    QFile used(m_czDay + "/7T0000_1.WAV");
    QVERIFY(used.open(QIODevice::WriteOnly));
    used.close();
    QCOMPARE(importplan::Plan({"a"}, m_czDay, 0, &FakeProbe).items.first().takeId, QString("7T0001"));
}

bool TestImportDialog::Run(QDialogImportStranger& d, int stopAfterMs)
{
    QSignalSpy ended(&d, &QDialogImportStranger::signal_RunEnded);
    d.Form()->m_CtrlButton_Start->click();
    if (!d.IsRunning())
        return true;
    if (stopAfterMs >= 0) {
        QTest::qWait(stopAfterMs);
        d.Form()->m_CtrlButton_Stop->click();
    }
    return ended.wait(60000);
}

void TestImportDialog::familyAndStereoRuns_data()
{
    QTest::addColumn<int>("sets");        // foreign mono sets, each its own take
    QTest::addColumn<int>("count");       // files of a set
    QTest::addColumn<int>("firstTrack");  // 0-based track of a set's first file
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<int>("cutTo");   // frames left in a set's second file, cut inside a frame; -1 whole
    QTest::newRow("family") << 1 << 3 << 0 << QStringList() << -1;
    // Each iXML names its own track: the files of a set differ in size.
    QTest::newRow("two sets of five, names of different lengths")
        << 2 << 5 << 0 << QStringList{"Boom", "Lav Georgie", "Lav", "Plant mic left", "X"} << -1;
    QTest::newRow("eight files as tracks 3-10") << 1 << 8 << 2 << QStringList() << -1;
    // Blanks around a name go, in a set's files as in a poly file's tracks.
    QTest::newRow("names with blanks") << 1 << 2 << 0 << QStringList{"  Name\t1  ", "\tB "} << -1;
    // A set cut short (its iXML before fmt, as written before the sound):
    // every file of the take ends where the shortest does.
    QTest::newRow("a file cut short") << 1 << 3 << 0 << QStringList() << 30001;
}

// Every set becomes one take, each file at its own track, every track armed
// in every file; the take loads and saves with its audio.
void TestImportDialog::familyAndStereoRuns()
{
    QFETCH(int, sets);
    QFETCH(int, count);
    QFETCH(int, firstTrack);
    QFETCH(QStringList, names);
    QFETCH(int, cutTo);
    const int frames = cutTo >= 0 ? cutTo : 48000;
    const auto take = [](int id) { return QString("7T%1").arg(id, 4, 10, QChar('0')); };
    QStringList sources, expected;
    for (int s = 0; s < sets; ++s) {
        ForeignSpec base;
        base.firstTrack = firstTrack;
        base.trackNames = names;
        base.familyUid = names.isEmpty() ? QString() : QString("UID-%1").arg(s);
        base.headersFirst = cutTo >= 0;
        sources << WriteForeignMonoFamily(m_czIn, QString("REC%1").arg(s), count, "SC1/T2", base);
        if (cutTo >= 0) {
            QFile cut(sources.last().section(QChar('_'), 0, -2) + "_2.WAV");
            QVERIFY(cut.open(QIODevice::ReadOnly));
            const int data = int(cut.readAll().indexOf("data")) + 8;
            cut.close();
            QVERIFY(cut.resize(data + 3 * cutTo + 2));
            // The take line of the file says what Import then does.
            QSoundPerform source;
            QVERIFY(source.InitFilesZZ(m_czIn + QString("/REC%1_2").arg(s), "WAV"));
            const QString line = source.ProblemLine(true, m_czIn + "/", QString("REC%1_2").arg(s));
            QVERIFY2(line.contains("shorter than its header says") && line.endsWith("use Import (Ctrl+I)."),
                     qPrintable(line));
        }
        for (int k = 0; k < count; ++k)
            expected << take(12 + s) + QString("_%1.WAV").arg(firstTrack + k + 1);
    }
    ForeignSpec stereo;
    stereo.frames = 4800;
    if (!names.isEmpty()) {
        stereo.ixml = QString("<BWFXML><TRACK_LIST><TRACK_COUNT>2</TRACK_COUNT>");
        for (int c = 0; c < 2; ++c)
            stereo.ixml += QString("<TRACK><CHANNEL_INDEX>%1</CHANNEL_INDEX><INTERLEAVE_INDEX>%1</INTERLEAVE_INDEX>"
                                   "<NAME>%2</NAME></TRACK>").arg(c + 1).arg(names.at(c));
        stereo.ixml += "</TRACK_LIST></BWFXML>";
    }
    QVERIFY(WriteForeignFile(m_czIn + "/ST.WAV", stereo));
    // An RF64 file among them is refused, saying why, and takes no id.
    QVERIFY(WriteBytes(m_czIn + "/BIG.WAV", BuildBrokenFile(MonoTake("BIG001", {0}), Breakage::Rf64)));
    QDialogImportStranger d(nullptr, 12);
    d.SetPaths(sources + QStringList{m_czIn + "/BIG.WAV", m_czIn + "/ST.WAV"}, "P.BR1", "D.OVD", m_czDay);
    ModalBoxAnswerer boxes;
    boxes.ThenAccept().ThenAccept();   // this run and the second
    QVERIFY(Run(d));
    QCOMPARE(boxes.SeenBoxes().size(), 1);
    QCOMPARE(boxes.SeenBoxes().first().text, QString(QSoundFile::kRf64Refusal) + "\n" + m_czIn + "/BIG.WAV");
    QCOMPARE(d.FailedCount(), 0);
    expected << take(12 + sets) + "_01.WAV" << take(12 + sets) + "_02.WAV";
    expected.sort();
    QCOMPARE(Entries(m_czDay), expected);
    QCOMPARE(d.NextId(), 13 + sets);
    QCOMPARE("7T" + d.Form()->m_CtrlLineEdit_Id->text(), take(13 + sets));
    for (int s = 0; s < sets; ++s) {
        QStringList armed;
        for (int t = 0; t < 24; ++t)
            armed << (t >= firstTrack && t < firstTrack + count ? "YES" : "NO");
        for (int round = 0; round < 2; ++round) {
            QSoundPerform loaded;
            QVERIFY(loaded.InitFilesZZ(m_czDay + "/" + take(12 + s), "WAV"));
            QCOMPARE(int(loaded.m_nFileCount), count);
            for (int k = 0; k < count; ++k) {
                const int t = firstTrack + k;
                const RiffInfo member = ReadRiffFile(loaded.m_SndFile[t].GetPath());
                QCOMPARE(member.data, SampleBytes({t}, 0, frames, 24));
                QCOMPARE(IxmlValues(member.ixml, "ORVEX_BRISEL/ALL_TRK_NAME/DATA/ACTIVE"), armed);
                QCOMPARE(loaded.m_czTrackActive[t], QString("YES"));
                QCOMPARE(loaded.m_czTrackName[t],
                         round && k == 1 ? "Edited" : names.value(k, QString("Mic %1").arg(t + 1)).trimmed());
            }
            loaded.SetiXMLTrackName(quint16(firstTrack + 1), "Edited");
            QVERIFY(loaded.UpdateiXMLChunk());
        }
    }
    if (!names.isEmpty()) {
        QSoundPerform poly;
        QVERIFY(poly.InitFilesZZ(m_czDay + "/" + take(12 + sets), "WAV"));
        for (int c = 0; c < 2; ++c)
            QCOMPARE(poly.m_czTrackName[c], names.at(c).trimmed());
    }
    QLabel* status = d.Form()->m_CtrlLabel_CurrentProcessed;
    QVERIFY2(status->fontMetrics().horizontalAdvance(status->text()) <= status->width(), qPrintable(status->text()));
    const QString grabs = qEnvironmentVariable("NALVO_GRAB_DIR");
    if (!grabs.isEmpty() && sets == 1 && count == 3)
        d.grab().save(grabs + "/import_done.png");
    // A second run of the same files lands after the first, nothing replaced.
    d.Form()->m_CtrlLineEdit_Id->setText("0012");
    QVERIFY(Run(d));
    QCOMPARE(Entries(m_czDay).size(), 2 * expected.size());
    QVERIFY(Entries(m_czDay).contains(take(13 + sets) + QString("_%1.WAV").arg(firstTrack + 1)));
}

void TestImportDialog::stopLeavesNoPartialFile()
{
    ForeignSpec big;
    big.channels = 8;
    big.frames = 48000 * 60;
    QStringList sources;
    for (int i = 0; i < 3; ++i) {
        sources << m_czIn + QString("/B%1.WAV").arg(i);
        QVERIFY(WriteForeignFile(sources.last(), big));
    }
    QDialogImportStranger d(nullptr, 0);
    d.SetPaths(sources, "P.BR1", "D.OVD", m_czDay);
    QVERIFY(Run(d, 50));
    QVERIFY(!d.IsRunning());
    QVERIFY(d.ImportedCount() < 3);
    // Whole takes only: every take present has all eight tracks, nothing else.
    const QStringList names = Entries(m_czDay);
    QCOMPARE(names.size(), 8 * d.ImportedCount());
    for (const QString& name : names)
        QVERIFY2(name.startsWith("7T") && name.endsWith(".WAV"), qPrintable(name));
}

void TestImportDialog::badIdRefused()
{
    ForeignSpec mono;
    mono.channels = 1;
    mono.frames = 480;
    QVERIFY(WriteForeignFile(m_czIn + "/A.WAV", mono));
    QVERIFY(WriteForeignFile(m_czIn + "/B.WAV", mono));
    QDialogImportStranger d(nullptr, 9999);
    d.SetPaths({m_czIn + "/A.WAV", m_czIn + "/B.WAV"}, "P.BR1", "D.OVD", m_czDay);
    QTimer closer;
    closer.setInterval(20);
    QObject::connect(&closer, &QTimer::timeout, [] {
        if (QWidget* box = QApplication::activeModalWidget())
            box->close();
    });
    closer.start();
    QVERIFY(Run(d));
    QVERIFY(Entries(m_czDay).isEmpty());
    d.Form()->m_CtrlLineEdit_Id->clear();
    QVERIFY(Run(d));
    QVERIFY(Entries(m_czDay).isEmpty());
    QCOMPARE(d.NextId(), 9999);
}

void TestImportDialog::refusedFilesFitTheScreen_data()
{
    QTest::addColumn<int>("count");
    // Each file named (in the box's text where the paths fit the screen,
    // else in its details), not only counted.
    QTest::addColumn<bool>("named");
    QTest::newRow("three named") << 3 << true;
    QTest::newRow("twenty counted") << 20 << false;
}

// This recorder's files renamed to names that are no takes are refused; a
// long list goes to the box's details, and the box with its details shown
// lies within the screen.
void TestImportDialog::refusedFilesFitTheScreen()
{
    QFETCH(int, count);
    QFETCH(bool, named);
    QStringList sources;
    for (int i = 0; i < count; ++i) {
        sources << m_czIn + QString("/renamed by the assistant on the second day, card %1.WAV").arg(i, 2, 10, QChar('0'));
        QVERIFY(WriteBytes(sources.last(), BuildMonoFile(MonoTake(QString("A%1T01").arg(i + 10), {0}), 0)));
    }
    QDialogImportStranger d(nullptr, 0);
    d.SetPaths(sources, "P.BR1", "D.OVD", m_czDay);
    QStringList details;
    QList<QRect> outside;
    ModalBoxAnswerer boxes;
    boxes.ThenDo([&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        QVERIFY(box);
        details << box->detailedText();
        for (int shown = 0; shown < 2; ++shown) {
            const QRect area = box->screen()->availableGeometry();
            for (QAbstractButton* b : box->findChildren<QAbstractButton*>()) {
                const QRect place(b->mapToGlobal(QPoint(0, 0)), b->size());
                if (b->isVisible() && !area.contains(place))
                    outside << place;
                if (!shown && b->text().startsWith("Show Details"))
                    b->click();
            }
            QApplication::processEvents();
        }
        box->accept();
    });
    QVERIFY(Run(d));
    QCOMPARE(boxes.SeenBoxes().size(), 1);
    QVERIFY2(outside.isEmpty(), qPrintable(QString::number(outside.size())));
    const QString text = boxes.SeenBoxes().first().text;
    QVERIFY2(text.startsWith("Brisel Files cannot be imported"), qPrintable(text));
    // Where the names stand depends on their length (the scratch folder's
    // path): each is in the text or the details, and a text that leaves
    // any out points to them.
    for (const QString& source : sources)
        QVERIFY2(text.contains(source) || details.first().contains(source), qPrintable(source));
    if (!text.contains(sources.first()) || !text.contains(sources.last()))
        QVERIFY2(text.contains("Show Details"), qPrintable(text));
    QCOMPARE(text.contains(QString("%1 files").arg(count)), !named);
    QVERIFY(Entries(m_czDay).isEmpty());
}

QTEST_MAIN(TestImportDialog)
#include "test_import_dialog.moc"
