// Pure rules of the report files: the page split, the column fit of both
// data lines and the texts that enter file names, CSV and ALE fields.
#include "report/reportpages.h"

#include <QtTest>

namespace {
tyTakeData Take(const QString& rate = QStringLiteral("48000 Hz"), bool ixml = true,
                const QString& level = QStringLiteral("-18"), bool loaded = true)
{
    tyTakeData take;
    take.bLoaded = loaded;
    take.bHasiXML = ixml;
    take.czSampleRate = loaded ? rate : QString();
    take.czRefLevel = loaded ? level : QString();
    take.czBits = loaded ? QStringLiteral("24 bits") : QString();
    return take;
}
}  // namespace

Q_DECLARE_METATYPE(QVector<tyTakeData>)

class TestReportPages : public QObject
{
    Q_OBJECT
private slots:
    void plainSplit();
    void breaks_data();
    void breaks();
    void twoLineFit_data();
    void twoLineFit();
    void texts_data();
    void texts();
};

void TestReportPages::plainSplit()
{
    // Any length, any page size: pages of exactly takesPerPage takes, the
    // remainder on the last one, every take once and in order.
    for (int perPage : {1, 3, 7}) {
        for (int n = 0; n <= 3 * perPage + 1; ++n) {
            const QList<int> last = LastTakeOnPageList(QVector<tyTakeData>(n, Take()), 0x1F, perPage);
            if (n == 0) {
                QCOMPARE(last, QList<int>({-1}));
                continue;
            }
            QCOMPARE(last.size(), (n + perPage - 1) / perPage);
            int first = 0;
            for (int p = 0; p < last.size(); ++p) {
                const int count = last.at(p) - first + 1;
                QVERIFY(count >= 1 && count <= perPage);
                if (p + 1 < last.size())
                    QCOMPARE(count, perPage);
                first = last.at(p) + 1;
            }
            QCOMPARE(last.last(), n - 1);
        }
    }
    // A page size below 1 still puts every take on a page.
    QCOMPARE(LastTakeOnPageList(QVector<tyTakeData>(2, Take()), 0, 0), QList<int>({0, 1}));
}

void TestReportPages::breaks_data()
{
    QTest::addColumn<QVector<tyTakeData>>("takes");
    QTest::addColumn<int>("mask");
    QTest::addColumn<int>("perPage");
    QTest::addColumn<QList<int>>("last");
    const tyTakeData a = Take();
    const tyTakeData b = Take(QStringLiteral("96000 Hz"));
    QTest::newRow("rate change starts a page") << QVector<tyTakeData>{a, a, b, b, b} << int(PageBreakSampleRate) << 4
                                               << QList<int>{1, 4};
    QTest::newRow("not in the header: no break") << QVector<tyTakeData>{a, a, b, b, b} << int(PageBreakTape) << 3
                                                 << QList<int>{2, 4};
    QTest::newRow("change on the take that fills a page") << QVector<tyTakeData>{a, a, b, b} << 0x1 << 3
                                                          << QList<int>{2, 3};
    // Take 3 differs from take 2 (the full page's last), yet begins its page
    // already: no empty page, only the references move.
    QTest::newRow("change after a full page") << QVector<tyTakeData>{a, a, a, b, a} << 0x1 << 3
                                              << QList<int>{2, 3, 4};
    QTest::newRow("one take per page") << QVector<tyTakeData>{a, b, a} << 0x1 << 1 << QList<int>{0, 1, 2};
    QTest::newRow("level ignored when the first take has no iXML")
        << QVector<tyTakeData>{Take(QStringLiteral("48000 Hz"), false), Take(QStringLiteral("48000 Hz"), true, "-20")}
        << int(PageBreakRefLevel) << 5 << QList<int>{1};
    QTest::newRow("level change between iXML takes")
        << QVector<tyTakeData>{a, Take(QStringLiteral("48000 Hz"), true, "-20")} << int(PageBreakRefLevel) << 5
        << QList<int>{0, 1};
    QTest::newRow("an unreadable take breaks nothing")
        << QVector<tyTakeData>{a, Take(QString(), true, QString(), false), a} << 0x1F << 5 << QList<int>{2};
}

void TestReportPages::breaks()
{
    QFETCH(QVector<tyTakeData>, takes);
    QFETCH(int, mask);
    QFETCH(int, perPage);
    QFETCH(QList<int>, last);
    QCOMPARE(LastTakeOnPageList(takes, mask, perPage), last);
}

void TestReportPages::twoLineFit_data()
{
    QTest::addColumn<QVector<int>>("line0");
    QTest::addColumn<QVector<int>>("line1");
    QTest::addColumn<int>("page");
    QTest::addColumn<QVector<int>>("fitted0");
    QTest::addColumn<QVector<int>>("fitted1");
    // No growing columns: the smaller slack (20) goes to each first column.
    QTest::newRow("both narrower") << QVector<int>{20, 30} << QVector<int>{40, 40} << 100 << QVector<int>{40, 30}
                                   << QVector<int>{60, 40};
    // Line 1 is 20 too wide with nothing to shrink: its widest columns give
    // way, the other line keeps its widths.
    QTest::newRow("one too wide") << QVector<int>{20, 30} << QVector<int>{60, 60} << 100 << QVector<int>{20, 30}
                                  << QVector<int>{50, 50};
    QTest::newRow("far too wide") << QVector<int>{20, 5} << QVector<int>{200, 10} << 100 << QVector<int>{20, 5}
                                  << QVector<int>{90, 10};
}

void TestReportPages::twoLineFit()
{
    QFETCH(QVector<int>, line0);
    QFETCH(QVector<int>, line1);
    QFETCH(int, page);
    QFETCH(QVector<int>, fitted0);
    QFETCH(QVector<int>, fitted1);
    tyReportLineFit fit;
    fit.line[0].widths = line0;
    fit.line[1].widths = line1;
    for (tyColumnFitInput& in : fit.line) {
        in.grows = QVector<bool>(in.widths.size(), false);
        in.shrinks = QVector<bool>(in.widths.size(), false);
    }
    QVector<int> widths[2];
    FitReportLines(&fit, 2, page, widths);
    QCOMPARE(widths[0], fitted0);
    QCOMPARE(widths[1], fitted1);
}

void TestReportPages::texts_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("in");
    QTest::addColumn<QString>("out");
    QTest::newRow("filter case") << "filter" << "tp" << "TP";
    QTest::newRow("filter with a path") << "filter" << "/../x" << "X";
    QTest::newRow("day of OVR") << "day" << "D3.OVR" << "D3";
    QTest::newRow("day lower case") << "day" << "D1.ovd" << "D1";
    QTest::newRow("not a day") << "day" << "notes.txt" << "";
    QTest::newRow("controls") << "field" << "a\tb\r\nc\x01" << "a b  c ";
    QTest::newRow("kept accents") << "field" << QString::fromUtf8("Sc\xc3\xa8ne") << QString::fromUtf8("Sc\xc3\xa8ne");
    QTest::newRow("48 kHz") << "audio" << "48000 Hz" << "48kHz";
    QTest::newRow("44.1 kHz") << "audio" << "44100 Hz" << "44100Hz";
    QTest::newRow("no digits") << "audio" << "Hz" << QString();
    QTest::newRow("fps auto") << "fps0" << "25 ND" << "25";
    QTest::newRow("fps auto drop") << "fps0" << "29.97 DF" << "29.97";
    QTest::newRow("fps table") << "fps4" << "25 ND" << "29.97";
    QTest::newRow("fps out of range") << "fps6" << "25 ND" << "";
}

void TestReportPages::texts()
{
    QFETCH(QString, kind);
    QFETCH(QString, in);
    QFETCH(QString, out);
    QString result;
    if (kind == QLatin1String("filter"))
        result = FilterSuffixOf(in);
    else if (kind == QLatin1String("day"))
        result = DayNameOfFolder(in);
    else if (kind == QLatin1String("field"))
        result = FieldText(in);
    else if (kind == QLatin1String("audio"))
        result = AleAudioFormatOf(in);
    else
        result = AleFpsOf(kind.mid(3).toInt(), in);
    QCOMPARE(result, out);
    if (kind == QLatin1String("audio"))
        QCOMPARE(result.isNull(), out.isNull());
}

QTEST_APPLESS_MAIN(TestReportPages)
#include "test_report_pages.moc"
