// The foundation's listing, path splitting and keyword reading over a day
// written the way the recorder writes it.
#include "foundation/fileinfolist.h"
#include "foundation/keywordfile.h"
#include "foundation/qpath.h"
#include "tests/support/fixturewriter.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace fixture;

class TestRecorderDay : public QObject
{
    Q_OBJECT
private slots:
    void everyFamilyFileSplitsToItsTakeRoot();
    void listingGivesOneNamePerTake();
    void sidecarFieldsReadBack();
};

static QList<TakeSpec> DayOfTakes(const QList<char>& separators)
{
    QList<TakeSpec> takes;
    int number = 1;
    for (char separator : separators) {
        for (TrackNumberStyle style : {TrackNumberStyle::TwoDigit, TrackNumberStyle::OneChar}) {
            TakeSpec take = MonoTake(QString("T%1").arg(number++, 5, 10, QLatin1Char('0')), {0, 1, 9, 11});
            take.frames = 480;
            take.numberStyle = style;
            for (TrackSpec& track : take.tracks)
                track.separator = separator;
            takes << take;
        }
    }
    TakeSpec poly = PolyTake("P00001", {0, 1, 2, 3});
    poly.frames = 480;
    takes << poly;
    return takes;
}

void TestRecorderDay::everyFamilyFileSplitsToItsTakeRoot()
{
    QTemporaryDir scratch;
    const QString day = MakeDay(MakeProject(MakeVolume(scratch.path(), "CARD"), "FILM"), QDate(2024, 5, 1));
    for (const TakeSpec& take : DayOfTakes({'_', '-', '#', '+'})) {
        const WrittenTake written = WriteTake(day, take);
        QVERIFY(!written.files.isEmpty());
        for (const QString& file : written.files) {
            const QPath path(file);
            QCOMPARE(path.GetPath(), day + "/");
            QCOMPARE(path.GetExtension(), QString("WAV"));
            if (take.poly) {
                QVERIFY2(!IsMonoFile(file), qPrintable(file));
                continue;
            }
            QVERIFY2(IsMonoFile(file), qPrintable(file));
            QCOMPARE(path.GetRoot(), take.id);
            QCOMPARE(path.GetSeparator(), QString(QChar(take.tracks.first().separator)));
            QCOMPARE(AudioPathFileShortenedToRacine(file), day + "/" + take.id);
        }
    }
}

void TestRecorderDay::listingGivesOneNamePerTake()
{
    QTemporaryDir scratch;
    // The day lists (reports, take list) know the '_', '-' and '#' families.
    QStringList ids;
    for (const TakeSpec& take : DayOfTakes({'_', '-', '#'})) {
        QVERIFY(!WriteTake(scratch.path(), take).files.isEmpty());
        ids << take.id;
    }
    MyFileInfoList listing;
    QCOMPARE(listing.LoadEntryInfoList(scratch.path(), {".WAV"}, true, nullptr), 0);
    QCOMPARE(listing.count(), 6 * 4 + 1);
    QStringList expected = ids;
    std::sort(expected.begin(), expected.end());
    QCOMPARE(listing.GetFileList(), expected);
    for (const QString& id : ids)
        QVERIFY2(listing.FindFileId(id) >= 0, qPrintable(id));
    qint64 total = 0;
    for (int i = 0; i < listing.count(); ++i)
        total += QFileInfo(scratch.path() + "/" + listing.GetFileName(i)).size();
    QCOMPARE(listing.GetTotalSize(), total);
}

void TestRecorderDay::sidecarFieldsReadBack()
{
    QTemporaryDir scratch;
    SidecarSpec sidecar;
    for (int i = 0; i < 24; ++i) {
        sidecar.volume << i % 9;
        sidecar.pan << i % 3;
        sidecar.mute << (i == 5 ? 1 : 0);
    }
    sidecar.swapMS = QList<int>{1, 0, 1};
    const QString path = WriteSidecar(scratch.path(), "ABC123", sidecar);
    QCOMPARE(QFileInfo(path).fileName(), QString("ABC123.idh"));

    QFileRead reader(path);
    QVERIFY(reader.open(QIODevice::ReadOnly));
    QString value;
    QVERIFY(reader.FindKeyword("#PLAYER_TRACK_VOL"));
    QVERIFY(reader.Extract(23, &value));
    QCOMPARE(value, QString::number(23 % 9));
    QVERIFY(!reader.Extract(24, &value));
    QVERIFY(reader.FindKeyword("#PLAYER_TRACK_MUTE"));
    QVERIFY(reader.Extract(5, &value));
    QCOMPARE(value, QString("1"));
    QVERIFY(reader.FindKeyword("#PLAYER_SWAP_MS"));
    QVERIFY(reader.Extract(2, &value));
    QCOMPARE(value, QString("1"));
    QVERIFY(!reader.FindKeyword("#VIRT_TRACKNAMES"));
}

QTEST_GUILESS_MAIN(TestRecorderDay)
#include "test_recorderday.moc"
