// The report worker on generated days: job hand-over, file names, PDF pages
// read back by poppler, CSV and ALE read back by an independent reader,
// failures that leave older reports alone and no temporary file behind.
#include "report/qreportthread.h"
#include "tests/report/daymedia.h"
#include "tests/support/fixturewriter.h"
#include "tests/support/fullvolume.h"
#include "tests/support/tableparts.h"

#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSemaphore>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <memory>
#include <thread>

using namespace fixture;

namespace {
struct tyFinished
{
    bool bDone = false;
    QStringList files;
    int abort = -1, stop = -1, pdf = -1, csv = -1, ale = -1;
    QStringList errors;
};

// Collects the worker's signals on the test's thread.
struct tyWatch
{
    QObject context;
    tyFinished last;
    int nFinished = 0;
    int nDays = -1;
    int nGettingData = 0;
    explicit tyWatch(QReportThread* thread)
    {
        QObject::connect(thread, &QReportThread::signal_reportFinished, &context,
                         [this](QStringList files, int abort, int stop, int pdf, int csv, int ale, QStringList errors) {
                             last = tyFinished{true, files, abort, stop, pdf, csv, ale, errors};
                             ++nFinished;
                         });
        QObject::connect(thread, &QReportThread::signal_processingDay, &context,
                         [this](int, int count) { nDays = count; });
        QObject::connect(thread, &QReportThread::signal_gettingData, &context, [this](int, int, int) {
            ++nGettingData;
        });
    }
};

QString Run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(60000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

QString PdfInfo(const QString& path, const QString& key)
{
    for (const QString& line : Run(QStringLiteral("pdfinfo"), {path}).split(QLatin1Char('\n'))) {
        if (line.startsWith(key + QLatin1Char(':')))
            return line.mid(key.size() + 1).trimmed();
    }
    return QString();
}

QString PageText(const QString& path, int page)
{
    return Run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), QStringLiteral("-f"), QString::number(page),
                                             QStringLiteral("-l"), QString::number(page), path, QStringLiteral("-")});
}

// A word of a PDF page as poppler places it, in points.
struct tyWord
{
    QString text;
    QRectF box;
};
struct tyPageWords
{
    QSizeF size;
    QList<tyWord> words;
};

QList<tyPageWords> PdfWords(const QString& path)
{
    const QString html = Run(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), path, QStringLiteral("-")});
    static const QRegularExpression page(QStringLiteral("<page width=\"([\\d.]+)\" height=\"([\\d.]+)\""));
    static const QRegularExpression word(QStringLiteral(
        "<word xMin=\"([-\\d.]+)\" yMin=\"([-\\d.]+)\" xMax=\"([-\\d.]+)\" yMax=\"([-\\d.]+)\">([^<]*)</word>"));
    QList<tyPageWords> pages;
    for (const QString& part : html.split(QStringLiteral("</page>"))) {
        const QRegularExpressionMatch size = page.match(part);
        if (!size.hasMatch())
            continue;
        tyPageWords words;
        words.size = QSizeF(size.captured(1).toDouble(), size.captured(2).toDouble());
        for (auto it = word.globalMatch(part); it.hasNext();) {
            const QRegularExpressionMatch m = it.next();
            const QPointF topLeft(m.captured(1).toDouble(), m.captured(2).toDouble());
            const QPointF bottomRight(m.captured(3).toDouble(), m.captured(4).toDouble());
            words.words.append({m.captured(5).normalized(QString::NormalizationForm_KC), QRectF(topLeft, bottomRight)});
        }
        pages.append(words);
    }
    return pages;
}

// The words on the row of the first word reading anchor, left to right.
QStringList RowOf(const QList<tyWord>& words, const QString& anchor)
{
    QList<tyWord> row;
    for (const tyWord& a : words) {
        if (a.text != anchor)
            continue;
        for (const tyWord& w : words) {
            if (w.box.center().y() > a.box.top() && w.box.center().y() < a.box.bottom())
                row.append(w);
        }
        break;
    }
    std::sort(row.begin(), row.end(), [](const tyWord& a, const tyWord& b) { return a.box.left() < b.box.left(); });
    QStringList texts;
    for (const tyWord& w : row)
        texts << w.text;
    return texts;
}

QStringList LeftOvers(const QString& folder)
{
    return QDir(folder).entryList({QStringLiteral(".*.nalvo-part-*")}, QDir::Files | QDir::Hidden);
}

QByteArray Bytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// An independent reader of both files: Python's csv module for the CSV
// (tab separated, no quoting), plain line splitting for the ALE sections.
const char* const kReader = R"(
import csv, json, sys
kind, path = sys.argv[1], sys.argv[2]
raw = open(path, 'rb').read()
text = raw.decode('utf-8')
if kind == 'csv':
    rows = list(csv.reader(text.split('\r\n')[:-1], delimiter='\t', quoting=csv.QUOTE_NONE))
    print(json.dumps({'rows': rows, 'crlf': text.count('\r\n') == text.count('\n')}))
else:
    lines = text.split('\r\n')
    sections = {}
    current = None
    for line in lines:
        if line in ('Heading', 'Column', 'Data'):
            current = line
            sections[current] = []
        elif current is not None:
            sections[current].append(line.split('\t'))
    print(json.dumps(sections))
)";

QJsonObject ReadBack(const QString& kind, const QString& path)
{
    const QString out = Run(QStringLiteral("python3"), {QStringLiteral("-c"), QString::fromLatin1(kReader), kind, path});
    return QJsonDocument::fromJson(out.toUtf8()).object();
}

QStringList Strings(const QJsonValue& value)
{
    QStringList list;
    for (const QJsonValue& v : value.toArray())
        list << v.toString();
    return list;
}
}  // namespace

class TestReportThread : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init()
    {
        if (!CurrentRowInPart())
            QSKIP("a row of another part");
    }
    void dayPdf_data();
    void dayPdf();
    void pdfStaysOnItsPage_data();
    void pdfStaysOnItsPage();
    void csvAndAle();
    void outputsMatchTheirReference_data();
    void outputsMatchTheirReference();
    void noLoadableTake();
    void projectOverDays();
    void failuresKeepOlderReports_data();
    void failuresKeepOlderReports();
    void chainedJobsAndStops();
    void interruptedMidJob_data();
    void interruptedMidJob();

private:
    tyFinished RunJob(QReportThread* thread, const QString& project, const QString& day, int mask, int gen,
                      bool projectReport, const QString& filter = QString());

    QTemporaryDir m_Dir;
    daymedia::Day m_Day;
    QString m_DayName;   // without extension
    bool m_bPoppler = false;
    bool m_bPython = false;
};

void TestReportThread::initTestCase()
{
    QVERIFY(m_Dir.isValid());
    m_bPoppler = !QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty()
                 && !QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty();
    m_bPython = !QStandardPaths::findExecutable(QStringLiteral("python3")).isEmpty();
    m_Day = daymedia::MakeDayFolder(m_Dir.path(), QDate(2024, 5, 1));
    m_DayName = m_Day.day.left(m_Day.day.size() - 4);
    // 43 plain takes, one with hostile texts, one that cannot be read.
    for (int t = 0; t < 43; ++t) {
        TakeSpec take = MonoTake(QStringLiteral("BR%1").arg(t, 4, 10, QLatin1Char('0')), {0, 1, 2, 3, 4, 5, 6, 7});
        take.frames = 480;
        QVERIFY(!WriteTake(m_Day.path, take).files.isEmpty());
    }
    TakeSpec hostile = MonoTake(QStringLiteral("BR0043"), {0, 1, 2, 3, 4, 5, 6, 7});
    hostile.frames = 480;
    hostile.note = QStringLiteral("one\ttwo\nthree");
    hostile.scene = QString::fromUtf8("Sc\xc3\xa8ne\t9");
    QVERIFY(!WriteTake(m_Day.path, hostile).files.isEmpty());
    QVERIFY(daymedia::WriteBytes(m_Day.path + QStringLiteral("/BR0044_01.WAV"), QByteArray("RIFF\x10\0\0\0WAVE", 12)));
    // What a Mac leaves beside a card's files, and a hidden copy: no take.
    for (const char* hidden : {"._BR0000_01.WAV", "._BR0001PN.WAV", ".BR0002_01.WAV"})
        QVERIFY(daymedia::WriteBytes(m_Day.path + QLatin1Char('/') + QLatin1String(hidden),
                                     QByteArray(4096, '\0')));
}

tyFinished TestReportThread::RunJob(QReportThread* thread, const QString& project, const QString& day, int mask,
                                    int gen, bool projectReport, const QString& filter)
{
    tyWatch watch(thread);
    thread->setTakeFilter(filter);
    tyReportBlock header[ReportLayout::kHeaderLines][ReportLayout::kHeaderCells];
    for (int l = 0; l < ReportLayout::kHeaderLines; ++l)
        for (int c = 0; c < ReportLayout::kHeaderCells; ++c)
            header[l][c] = DefaultReportHeaderLayout[l][c];
    thread->setPdfHeaderSetup(&header[0][0], ReportLayout::kHeaderLines, ReportLayout::kHeaderCells);
    thread->processFileTags(m_Day.volume, project, day, mask, gen, projectReport, CircleDisplayTake);
    if (!QTest::qWaitFor([&] { return watch.nFinished > 0; }, 60000))
        return tyFinished();
    if (watch.last.stop)
        qWarning() << watch.last.errors;
    return watch.last;
}

void TestReportThread::dayPdf_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<int>("takes");
    QTest::newRow("all takes") << QString() << QString() << 45;
    QTest::newRow("take filter tp") << QStringLiteral("tp") << QStringLiteral("_TP") << 44;
    QTest::newRow("filter from a setup file") << QStringLiteral("/../t") << QStringLiteral("_T") << 44;
}

void TestReportThread::dayPdf()
{
    QFETCH(QString, filter);
    QFETCH(QString, suffix);
    QFETCH(int, takes);
    QReportThread thread;
    const tyFinished done = RunJob(&thread, m_Day.project, m_Day.day, 0x1, 0x7, false, filter);
    QVERIFY(done.bDone);
    QCOMPARE(done.stop, 0);
    QCOMPARE(done.pdf, 0);
    const QString base = m_Day.path + QLatin1Char('/') + m_DayName + QStringLiteral("_Mono") + suffix;
    QCOMPARE(done.files, QStringList({base + ".csv", base + ".ale", base + ".pdf"}));
    for (const QString& file : done.files)
        QVERIFY2(QFileInfo(file).isFile(), qPrintable(file));
    QVERIFY(LeftOvers(m_Day.path).isEmpty());
    if (!m_bPoppler)
        QSKIP("poppler-utils are not installed");
    const QString pdf = base + QStringLiteral(".pdf");
    QCOMPARE(PdfInfo(pdf, QStringLiteral("Title")), QStringLiteral("Orvex Sound Report - Monophonic"));
    QCOMPARE(PdfInfo(pdf, QStringLiteral("Creator")), QStringLiteral("Tobra3 v1.2.2 beta"));
    QVERIFY(PdfInfo(pdf, QStringLiteral("Page size")).startsWith(QStringLiteral("842 x 595 pts (A4)")));
    const int pages = PdfInfo(pdf, QStringLiteral("Pages")).toInt();
    QVERIFY(pages >= 2);
    // Every take once, in order, each page saying which of how many it is.
    int next = 0;
    int perPage = 0;
    for (int p = 1; p <= pages; ++p) {
        const QString text = PageText(pdf, p);
        QVERIFY2(text.contains(QStringLiteral(" #%1/%2").arg(p).arg(pages)), qPrintable(text.left(400)));
        QVERIFY(text.contains(QStringLiteral("Generated by Tobra v1.2.2 beta")));
        int onPage = 0;
        int at = 0;
        while (next < takes) {
            const QString id = QStringLiteral("BR%1").arg(next, 4, 10, QLatin1Char('0'));
            const int found = text.indexOf(id, at);
            if (found < 0)
                break;
            at = found;
            ++next;
            ++onPage;
        }
        if (p == 1)
            perPage = onPage;
        if (p == 2 && onPage != perPage)
            qWarning().noquote() << text;
        else if (p < pages)
            QCOMPARE(onPage, perPage);
        if (p == 1 && filter.isEmpty())
            QVERIFY(text.contains(QString::fromUtf8("Sc\xc3\xa8ne")) || pages > 1);
    }
    QCOMPARE(next, takes);
    QCOMPARE(pages, (takes + perPage - 1) / perPage);
    if (filter.isEmpty()) {
        // The take that could not be read shows its id and nothing else.
        const QString last = PageText(pdf, pages);
        QString line;
        for (const QString& candidate : last.split(QLatin1Char('\n'))) {
            if (candidate.contains(QStringLiteral("BR0044")))
                line = candidate.simplified();
        }
        QCOMPARE(line, QStringLiteral("45 BR0044"));
        QVERIFY(PageText(pdf, 0 + (43 / perPage) + 1).contains(QString::fromUtf8("Sc\xc3\xa8ne")));
    }
}

void TestReportThread::pdfStaysOnItsPage_data()
{
    QTest::addColumn<int>("tracks");
    QTest::addColumn<int>("sceneLength");
    QTest::addColumn<int>("dataLines");
    QTest::addColumn<bool>("allTracksOnOneLine");
    QTest::newRow("8 tracks, 200-character scene") << 8 << 200 << 1 << false;
    QTest::newRow("24 tracks on one line, 200-character scene") << 24 << 200 << 1 << true;
    QTest::newRow("24 tracks on one line, 60-character scene") << 24 << 60 << 1 << true;
    QTest::newRow("24 tracks on two lines, 138-character scene") << 24 << 138 << 2 << false;
}

void TestReportThread::pdfStaysOnItsPage()
{
    QFETCH(int, tracks);
    QFETCH(int, sceneLength);
    QFETCH(int, dataLines);
    QFETCH(bool, allTracksOnOneLine);
    if (!m_bPoppler)
        QSKIP("poppler-utils are not installed");
    static int row = 0;
    const QString dayPath = MakeDay(m_Day.volume + QStringLiteral("/SHOOT.BR1"), QDate(2024, 6, ++row));
    const QString dayName = QFileInfo(dayPath).fileName();
    QList<int> trackSlots;
    for (int s = 0; s < tracks; ++s)
        trackSlots << s;
    QString scene;
    while (scene.size() < sceneLength)
        scene += QStringLiteral("%1A").arg(scene.size() % 10);
    scene.truncate(sceneLength);
    for (int t = 0; t < 3; ++t) {
        TakeSpec take = MonoTake(QStringLiteral("FIT00%1").arg(t), trackSlots);
        take.frames = 480;
        take.scene = scene;
        take.note = QStringLiteral("first line\nsecond line");
        for (TrackSpec& track : take.tracks)
            track.name = QStringLiteral("Lavalier%1").arg(track.slot + 1);
        QVERIFY(!WriteTake(dayPath, take).files.isEmpty());
    }
    tyReportBlock data[ReportLayout::kDataLines][ReportLayout::kDataCells];
    for (int l = 0; l < ReportLayout::kDataLines; ++l)
        for (int c = 0; c < ReportLayout::kDataCells; ++c)
            data[l][c] = DefaultReportDataLayout[l][c];
    if (allTracksOnOneLine) {
        const int ids[4] = {1, 2, 4, 5};   // Index, File ID, Scene, Take
        for (int c = 0; c < ReportLayout::kDataCells; ++c)
            data[0][c].nFieldId = c < 4 ? ids[c] : 22 + c - 4;
    }
    QReportThread thread;
    thread.setPdfDataSetup(&data[0][0], ReportLayout::kDataLines, ReportLayout::kDataCells, dataLines, true,
                           CircleDisplayTake);
    const tyFinished done = RunJob(&thread, m_Day.project, dayName, 0x1, 0x1, false);
    QCOMPARE(done.stop, 0);
    const QString pdf = dayPath + QLatin1Char('/') + dayName.left(dayName.size() - 4) + QStringLiteral("_Mono.pdf");
    const QList<tyPageWords> pages = PdfWords(pdf);
    QCOMPARE(pages.size(), 1);
    const QRectF pageBox(QPointF(0, 0), pages.first().size);
    const QList<tyWord>& words = pages.first().words;
    for (const tyWord& w : words)
        QVERIFY2(pageBox.contains(w.box), qPrintable(w.text));
    // Words of one row (the heading, a header line, a take line) keep apart.
    for (int a = 0; a < words.size(); ++a) {
        for (int b = a + 1; b < words.size(); ++b) {
            const QRectF& one = words.at(a).box;
            const QRectF& two = words.at(b).box;
            const bool sameRow = one.center().y() > two.top() && one.center().y() < two.bottom();
            const double gap = qMax(one.left() - two.right(), two.left() - one.right());
            QVERIFY2(!sameRow || gap >= 1.0, qPrintable(words.at(a).text + QLatin1Char('|') + words.at(b).text));
        }
    }
    // Every heading whole, in layout order; the note on one line.
    for (int l = 0; l < dataLines; ++l) {
        QStringList headings;
        for (int c = (l == 0 && dataLines == 1) ? 0 : 1; c < ReportLayout::kDataCells; ++c) {
            const tyReportDataField* field = DataFieldOf(data[l][c].nFieldId);
            if (field)
                headings << QString::fromLatin1(field->pcShortName).split(QLatin1Char(' '));
        }
        QCOMPARE(RowOf(words, headings.at(1)), headings);
    }
    QVERIFY(RowOf(words, QStringLiteral("second")).join(QLatin1Char(' ')).contains("first line second line"));
    // The scene cut with an ellipsis (read back as three dots).
    bool elided = false;
    for (const tyWord& w : words)
        elided = elided || (w.text.startsWith(scene.left(8)) && w.text.endsWith(QStringLiteral("...")));
    QVERIFY(elided);
}

void TestReportThread::csvAndAle()
{
    if (!m_bPython)
        QSKIP("python3 is not installed");
    QReportThread thread;
    thread.setAleSetup(1, 0);
    const tyFinished done = RunJob(&thread, m_Day.project, m_Day.day, 0x1, 0x6, false);
    QVERIFY(done.bDone);
    QCOMPARE(done.stop, 0);
    const QString base = m_Day.path + QLatin1Char('/') + m_DayName + QStringLiteral("_Mono");

    const QJsonObject csv = ReadBack(QStringLiteral("csv"), base + QStringLiteral(".csv"));
    QVERIFY(csv.value(QStringLiteral("crlf")).toBool());
    const QJsonArray rows = csv.value(QStringLiteral("rows")).toArray();
    QCOMPARE(rows.size(), 3 + 1 + 1 + 45 + 1);
    QCOMPARE(Strings(rows.at(0)), QStringList({"Project", "SHOOT.BR1"}));
    QCOMPARE(Strings(rows.at(2)), QStringList({"Brisel # ", " 7"}));
    QVERIFY(rows.at(3).toArray().isEmpty());
    const QStringList titles = Strings(rows.at(4));
    QCOMPARE(titles.size(), 69);   // 68 titles, each followed by a tab
    QCOMPARE(titles.mid(0, 6), QStringList({"Index", "File ID", "Circled", "Scene", "Take", "Season"}));
    QVERIFY(titles.contains(QStringLiteral("TC Start ")) && titles.contains(QStringLiteral("Bits     ")));
    for (int t = 0; t < 45; ++t) {
        const QStringList row = Strings(rows.at(5 + t));
        QCOMPARE(row.size(), 69);
        QCOMPARE(row.at(0), QString::number(t + 1));
        QCOMPARE(row.at(1), QStringLiteral("BR%1").arg(t, 4, 10, QLatin1Char('0')));
    }
    const QStringList hostile = Strings(rows.at(5 + 43));
    QCOMPARE(hostile.at(3), QString::fromUtf8("Sc\xc3\xa8ne 9"));
    QCOMPARE(hostile.at(titles.indexOf(QStringLiteral("Notes"))), QStringLiteral("one two three"));
    QCOMPARE(Strings(rows.at(5 + 44)).at(4), QString());   // the unreadable take: index and id only
    QCOMPARE(Strings(rows.at(5)).at(4), QStringLiteral("t3"));

    const QJsonObject ale = ReadBack(QStringLiteral("ale"), base + QStringLiteral(".ale"));
    QStringList heading;
    for (const QJsonValue& line : ale.value(QStringLiteral("Heading")).toArray())
        heading << Strings(line).join(QLatin1Char('='));
    QCOMPARE(heading, QStringList({"FIELD_DELIM=TABS", "VIDEO_FORMAT=1080", "AUDIO_FORMAT=48kHz", "TAPE=T001",
                                   "FPS=25"}));
    const QStringList columns = Strings(ale.value(QStringLiteral("Column")).toArray().at(0));
    QCOMPARE(columns.size(), 38);
    QCOMPARE(columns.at(2), QStringLiteral("Start"));
    const QJsonArray data = ale.value(QStringLiteral("Data")).toArray();
    QCOMPARE(data.size(), 45 + 1);   // no line end after the last take
    for (int t = 0; t < 45; ++t)
        QCOMPARE(data.at(t).toArray().size(), 38);
    QCOMPARE(Strings(data.at(0)).at(2), QStringLiteral("10:00:00:00"));
    QCOMPARE(Strings(data.at(44)).at(10), QStringLiteral("BR0044"));
}

void TestReportThread::outputsMatchTheirReference_data()
{
    QTest::addColumn<int>("dataLines");
    QTest::addColumn<bool>("noteLine");
    QTest::addColumn<QString>("reference");
    QTest::newRow("one line, repeats") << 1 << false << QStringLiteral("one_line");
    QTest::newRow("two lines and notes") << 2 << true << QStringLiteral("two_lines");
}

void TestReportThread::outputsMatchTheirReference()
{
    QFETCH(int, dataLines);
    QFETCH(bool, noteLine);
    QFETCH(QString, reference);
    if (!m_bPoppler)
        QSKIP("poppler-utils are not installed");
    tyReportBlock data[ReportLayout::kDataLines][ReportLayout::kDataCells];
    for (int l = 0; l < ReportLayout::kDataLines; ++l)
        for (int c = 0; c < ReportLayout::kDataCells; ++c)
            data[l][c] = DefaultReportDataLayout[l][c];
    QReportThread thread;
    thread.setPdfDataSetup(&data[0][0], ReportLayout::kDataLines, ReportLayout::kDataCells, dataLines, noteLine,
                           CircleDisplayFileTag);
    const tyFinished done = RunJob(&thread, m_Day.project, m_Day.day, 0x1, 0x7, false);
    QCOMPARE(done.stop, 0);
    const QString base = m_Day.path + QLatin1Char('/') + m_DayName + QStringLiteral("_Mono");
    const QString text = Run(QStringLiteral("pdftotext"), {QStringLiteral("-raw"), base + QStringLiteral(".pdf"),
                                                           QStringLiteral("-")});
    const QString folder = QStringLiteral(NALVO_REPORT_REFERENCE "/") + reference;
    QCOMPARE(Bytes(base + QStringLiteral(".csv")), Bytes(folder + QStringLiteral(".csv")));
    QCOMPARE(Bytes(base + QStringLiteral(".ale")), Bytes(folder + QStringLiteral(".ale")));
    QCOMPARE(text, QString::fromUtf8(Bytes(folder + QStringLiteral(".pdf.txt"))));
}

void TestReportThread::noLoadableTake()
{
    if (!m_bPython)
        QSKIP("python3 is not installed");
    // A day whose only take is cut short: titles from the field table, the
    // take's index and id, no recorder number, and an ALE heading without
    // a sample rate to describe the day.
    const QString day = MakeDay(m_Day.volume + QStringLiteral("/SHOOT.BR1"), QDate(2024, 5, 2));
    QVERIFY(daymedia::WriteBytes(day + QStringLiteral("/BAD001_01.WAV"), QByteArray(300, 'x')));
    QVERIFY(daymedia::WriteBytes(day + QStringLiteral("/BAD002_01.wav"), QByteArray(300, 'x')));
    QReportThread thread;
    const tyFinished done = RunJob(&thread, m_Day.project, QFileInfo(day).fileName(), 0x1, 0x7, false);
    QCOMPARE(done.stop, 0);
    const QString base = day + QStringLiteral("/2024-05-02_Mono");
    const QJsonArray rows = ReadBack(QStringLiteral("csv"), base + QStringLiteral(".csv")).value("rows").toArray();
    QCOMPARE(rows.size(), 3 + 1 + 1 + 1 + 1);
    QCOMPARE(Strings(rows.at(2)), QStringList({"Brisel # ", "---"}));
    QCOMPARE(Strings(rows.at(4)).size(), 69);
    QCOMPARE(Strings(rows.at(5)).mid(0, 3), QStringList({"1", "BAD001", ""}));
    QCOMPARE(Strings(rows.at(5)).size(), 69);
    const QJsonObject ale = ReadBack(QStringLiteral("ale"), base + QStringLiteral(".ale"));
    QStringList heading;
    for (const QJsonValue& line : ale.value(QStringLiteral("Heading")).toArray())
        heading << Strings(line).join(QLatin1Char('='));
    QCOMPARE(heading, QStringList({"FIELD_DELIM=TABS", "VIDEO_FORMAT=1080", "TAPE=", "FPS="}));
    QCOMPARE(ale.value("Data").toArray().size(), 1 + 1);
    QVERIFY(QFileInfo(base + QStringLiteral(".pdf")).size() > 0);
}

void TestReportThread::projectOverDays()
{
    const QString project = MakeProject(m_Day.volume, QStringLiteral("TOUR"));
    auto writeInto = [&](const QString& folder, const QString& id, bool poly, const QString& polySuffix) {
        QDir().mkpath(project + QLatin1Char('/') + folder);
        TakeSpec spec = poly ? PolyTake(id, {0, 1}) : MonoTake(id, {0, 1});
        spec.frames = 480;
        spec.polySuffix = polySuffix;
        return !WriteTake(project + QLatin1Char('/') + folder, spec).files.isEmpty();
    };
    QVERIFY(writeInto(QStringLiteral("D1.OVD"), QStringLiteral("AAA001"), false, QString()));
    QVERIFY(writeInto(QStringLiteral("D1.OVN"), QStringLiteral("AAA001"), true, QStringLiteral("PN")));
    QVERIFY(writeInto(QStringLiteral("D2.OVX"), QStringLiteral("BBB001"), true, QStringLiteral("MX")));
    QVERIFY(writeInto(QStringLiteral("D3.OVR"), QStringLiteral("CCC001"), true, QStringLiteral("PR")));
    QVERIFY(writeInto(QStringLiteral("D3.OVD"), QStringLiteral("CCC002"), false, QString()));
    QVERIFY(QDir().mkpath(project + QStringLiteral("/notes.txt.d")));

    QReportThread thread;
    tyWatch watch(&thread);
    thread.processFileTags(m_Day.volume, QStringLiteral("TOUR.BR1"), QString(), 0xF, 0x5, true, CircleDisplayTake);
    QVERIFY(QTest::qWaitFor([&] { return watch.nFinished > 0; }, 60000));
    QCOMPARE(watch.last.stop, 0);
    QCOMPARE(watch.nDays, 3);
    const QString base = project + QStringLiteral("/TOUR_Project_");
    for (const char* kind : {"Mono", "StereoMix", "Poly", "Poly_Rotate"})
        QVERIFY2(QFileInfo(base + kind + QStringLiteral(".pdf")).isFile(), kind);
    QVERIFY(QFileInfo(base + QStringLiteral("Mono.csv")).isFile());
    QVERIFY(QFileInfo(project + QStringLiteral("/D3.OVR/D3_PolyRotate.pdf")).isFile());
    QVERIFY(LeftOvers(project).isEmpty());
    if (!m_bPoppler)
        QSKIP("poppler-utils are not installed");
    QCOMPARE(PdfInfo(base + QStringLiteral("Poly_Rotate.pdf"), QStringLiteral("Title")),
             QStringLiteral("Orvex Sound Report - Project - PolyPhonic Rotate interleave"));
    const QString mono = base + QStringLiteral("Mono.pdf");
    QCOMPARE(PdfInfo(mono, QStringLiteral("Pages")), QStringLiteral("2"));
    QVERIFY(PageText(mono, 1).contains(QStringLiteral(" #1")));
    QVERIFY(PageText(mono, 2).contains(QStringLiteral(" #2")));
    QVERIFY(PageText(mono, 2).contains(QStringLiteral("CCC002")));
}

void TestReportThread::failuresKeepOlderReports_data()
{
    QTest::addColumn<bool>("fullVolume");
    QTest::addColumn<QString>("subfolder");
    QTest::newRow("folder at the PDF name") << false << QString();
    // The message names the folder as it is: its '%' are no placeholders.
    QTest::newRow("'%' in the folder name") << false << QStringLiteral("out_%d_%s_%1");
    QTest::newRow("full volume") << true << QString();
}

void TestReportThread::failuresKeepOlderReports()
{
    QFETCH(bool, fullVolume);
    QFETCH(QString, subfolder);
    const QByteArray older("%PDF-1.4 an older report\n");
    auto work = [&](QString folder) {
        if (!subfolder.isEmpty())
            folder += QLatin1Char('/') + subfolder;
        const QString base = folder + QLatin1Char('/') + m_DayName + QStringLiteral("_Mono");
        if (fullVolume) {
            if (!daymedia::WriteBytes(base + QStringLiteral(".pdf"), older))
                return false;
        } else if (!QDir().mkpath(base + QStringLiteral(".pdf"))) {
            return false;
        }
        QReportThread thread;
        thread.setCustomTargetFolder(true, folder);
        const tyFinished done = RunJob(&thread, m_Day.project, m_Day.day, 0x1, 0x5, false);
        bool ok = done.bDone && done.stop == 1 && LeftOvers(folder).isEmpty();
        if (fullVolume) {
            ok = ok && (done.pdf & 0xFF) == 3 && (done.pdf >> 8) != 0 && Bytes(base + ".pdf") == older
                 && done.errors.first().startsWith(QStringLiteral("Error: Pdf File (") + base + QStringLiteral(".pdf) cannot be written ("));
        } else {
            ok = ok && done.pdf == (QFileDevice::RemoveError << 8) + 1 && !QFileInfo::exists(base + ".csv")
                 && done.errors.first() == QStringLiteral("Error: Pdf File (%1.pdf) cannot be removed (%2-Is a directory)").arg(base, QString::number(QFileDevice::RemoveError));
        }
        if (!ok)
            qWarning() << done.bDone << done.pdf << done.stop << done.errors << LeftOvers(folder);
        return ok;
    };
    if (!fullVolume) {
        QTemporaryDir folder;
        QVERIFY(work(folder.path()));
        return;
    }
    QString how;
    QVERIFY(RunOnFullVolume(m_Dir.path(), 16 * 1024, work, &how));
}

void TestReportThread::chainedJobsAndStops()
{
    QReportThread thread;
    int finished = 0;
    QList<int> stopped;
    QObject context;
    // Each job is handed over from the handler of the one before; job 100
    // is stopped right after its hand-over, often before the worker takes it.
    QObject::connect(&thread, &QReportThread::signal_reportFinished, &context,
                     [&](QStringList, int, int stop, int, int, int, QStringList) {
                         if (stop)
                             stopped.append(finished);
                         // The stopped job lists a real day: it cannot be over
                         // before the stop arrives.
                         const QString day = (++finished == 100) ? m_Day.day : QStringLiteral("NODAY.OVD");
                         if (finished < 200)
                             thread.processFileTags(m_Day.volume, m_Day.project, day, 0x1, 0x4, false,
                                                    CircleDisplayTake);
                         if (finished == 100)
                             thread.stopProcess();
                     });
    thread.processFileTags(m_Day.volume, m_Day.project, QStringLiteral("NODAY.OVD"), 0x1, 0x4, false,
                           CircleDisplayTake);
    QVERIFY(QTest::qWaitFor([&] { return finished == 200; }, 60000));
    QCOMPARE(stopped, QList<int>{100});
    QTRY_VERIFY(!thread.isProcessing());
    // A stop given between jobs does not reach the next one.
    thread.stopProcess();
    const tyFinished done = RunJob(&thread, m_Day.project, m_Day.day, 0x1, 0x4, false);
    QCOMPARE(done.stop, 0);
    QCOMPARE(done.csv, 0);
}

void TestReportThread::interruptedMidJob_data()
{
    QTest::addColumn<bool>("destroy");
    QTest::newRow("stopped") << false;
    QTest::newRow("destroyed") << true;
}

void TestReportThread::interruptedMidJob()
{
    QFETCH(bool, destroy);
    // An older report of the same name stands whatever becomes of the job.
    const QString older = m_Day.path + QLatin1Char('/') + m_DayName + QStringLiteral("_Mono.pdf");
    QVERIFY(daymedia::WriteBytes(older, "%PDF-1.4 older\n"));
    auto thread = std::make_unique<QReportThread>();
    tyWatch watch(thread.get());
    // The worker waits at its first take until the test has stopped it or
    // begun destroying it, however fast the day would be read.
    QSemaphore reached, release;
    std::atomic<bool> first{true};
    QObject::connect(
        thread.get(), &QReportThread::signal_gettingData, &watch.context,
        [&](int, int, int) {
            if (first.exchange(false) == false)
                return;
            reached.release();
            release.tryAcquire(1, 10000);
        },
        Qt::DirectConnection);
    thread->processFileTags(m_Day.volume, m_Day.project, m_Day.day, 0x1, 0x7, false, CircleDisplayTake);
    QVERIFY(reached.tryAcquire(1, 20000));
    QElapsedTimer timer;
    timer.start();
    if (destroy) {
        std::thread opener([&] {
            QThread::msleep(100);
            release.release();
        });
        thread.reset();
        opener.join();
        QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
    } else {
        thread->stopProcess();
        release.release();
        // What the stopped job leaves is checked here; how soon a stop
        // answers is the destroyed row's check, which no queued signal
        // delays on a busy machine.
        QVERIFY(QTest::qWaitFor([&] { return watch.nFinished > 0; }, 15000));
        QCOMPARE(watch.last.stop, 1);
        QVERIFY(watch.last.errors.contains(QStringLiteral("Unfinished Report Deleted : 3 file(s)")));
        QVERIFY(watch.last.errors.contains(QStringLiteral("> %1 > 1").arg(older)));
    }
    QVERIFY(LeftOvers(m_Day.path).isEmpty());
    QCOMPARE(Bytes(older), QByteArray("%PDF-1.4 older\n"));
}

int main(int argc, char** argv)
{
    return RunPartedTest<TestReportThread>(argc, argv);
}
#include "test_report_thread.moc"
