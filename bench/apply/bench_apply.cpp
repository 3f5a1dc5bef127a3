// The editor's Apply, through the window's own save of the selected takes,
// against the same bytes written in place into the same files, measured in
// one run: one take (the editor's single mode) and 50 takes (several-take
// mode), of 8 and of 24 mono files each. Then what the user waits for: the
// window's selection slot as its timer calls it against the take's load
// alone, and the Apply click against the save alone, for 8- and 24-track
// and poly takes, one take and 50; the time beyond the load or the save
// against a frame (16 ms).
#include "bench/support/benchtools.h"
#include "foundation/platform/diskprobes.h"
#include "foundation/toolarguments.h"
#include "mainwindow/dlgmain.h"
#include "take/takefamily.h"
#include "tests/support/fixturewriter.h"
#include "tests/take/sparsetake.h"
#include "ui_dlgmain.h"

#include "browser/qbriselfsfilterproxymodel.h"
#include "browser/qbriselfsmodel.h"

#include <QApplication>
#include <QDate>
#include <QFileInfo>
#include <QPushButton>
#include <QTest>
#include <QTemporaryDir>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

using namespace bench;

namespace {

// A save syncs its files on up to this many threads side by side.
constexpr int kSyncThreads = 4;

// What the editor passes for each take: a new note and tape each round (so
// every Apply writes), the track names as they stand (the editor sends them
// all, changed or not).
double Apply(DlgMain& window, const SparseDay& day, int tracks, int round)
{
    const bool multi = day.takeIds.size() > 1;
    QString names[DlgMain::kTracks];
    for (int t = 0; t < tracks; ++t)
        names[t] = QStringLiteral("Boom %1").arg(t + 1);
    const QString note = QStringLiteral("note %1").arg(round % 10);
    const QString tape = QStringLiteral("T00%1").arg(round % 10);
    QStringList paths;
    for (const QString& id : day.takeIds)
        paths << day.folder + id;
    DlgMain::tyEditorValues values;
    values.bMulti = multi;
    values.czScene = multi ? QString() : QStringLiteral("14B");
    values.czTakePrefix = multi ? QString() : QStringLiteral("t");
    values.czTakeNumber = multi ? QString() : QStringLiteral("3");
    values.nScTkTemplate = multi ? -1 : 0;
    values.czNote = note;
    values.czUbits = QStringLiteral("00000000");
    values.czTape = tape;
    values.czCircled = QStringLiteral("FALSE");
    values.pczTrackNames = names;
    QElapsedTimer timer;
    timer.start();
    window.SaveMetadata(paths, QStringLiteral("WAV"), values);
    return Milliseconds(timer);
}

double ApplyUnsynced(DlgMain& window, const SparseDay& day, int tracks, int round)
{
    SetDiskSyncFunction([](const QVector<int>&) { return true; });
    const double time = Apply(window, day, tracks, round);
    SetDiskSyncFunction(DiskSyncFunction());
    return time;
}

// One frame: what a click must stay within beyond its I/O.
constexpr double kFrameMs = 16.0;

void PrintBeyond(const char* what, const QString& kind, const std::vector<double>& ours,
                 const std::vector<double>& peer, const char* peerName)
{
    std::vector<double> extra;
    for (size_t i = 0; i < ours.size() && i < peer.size(); ++i)
        extra.push_back(std::max(0.0, ours[i] - peer[i]));
    const double beyond = Median(extra);
    std::printf("%s %s: %.2f ms (%s %.2f ms): %.2f ms beyond the %s, ratio %.2f (target <= 1)\n", what,
                qPrintable(kind), Median(ours), peerName, Median(peer), beyond, peerName, beyond / kFrameMs);
    std::fflush(stdout);
}

// Selects the browser rows of these takes as a user's click does; the
// volume poller lists the card in its own time.
bool SelectTakes(DlgMain& window, const SparseDay& day, const QStringList& ids)
{
    QItemSelection selection;
    for (const QString& id : ids) {
        // The browser shows one row per take, on one of its files.
        QStringList members;
        for (const QString& f : day.files)
            if (f.mid(day.folder.size()).startsWith(id))
                members << f;
        QElapsedTimer wait;
        wait.start();
        QModelIndex view;
        while (!view.isValid() && wait.elapsed() < 20000) {
            for (const QString& file : members) {
                const QModelIndex source = window.m_pFSModel->index(file);
                if (!view.isValid() && source.isValid())
                    view = window.m_pFSProxyModel->mapFromSource(source);
            }
            if (!view.isValid())
                QTest::qWait(20);
        }
        if (!view.isValid())
            return false;
        selection.select(view, view);
    }
    QItemSelectionModel* model = window.ui->m_CtrlTreeView->selectionModel();
    model->clearSelection();
    model->select(selection, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    window.m_pTimerSelection->stop();
    return true;
}

double TimedSelection(DlgMain& window)
{
    QElapsedTimer timer;
    timer.start();
    window.slot_TimerSelectionChanged();
    return Milliseconds(timer);
}

// The load the selection of one take must do: the take opened as the
// window opens it.
double LoadAlone(const SparseDay& day, const QString& id)
{
    QElapsedTimer timer;
    timer.start();
    QSoundPerform take;
    take.QuickInitFiles(day.folder + id, QStringLiteral("WAV"), nullptr, true);
    take.CloseFiles();
    return Milliseconds(timer);
}

// The user's Apply: a new note typed into the editor, then the button.
double ClickApply(DlgMain& window, int round)
{
    window.ui->m_CtrlEditEditorNote->setText(QStringLiteral("typed %1").arg(round % 10));
    window.slot_EditMetadataKeyPressed();
    QElapsedTimer timer;
    timer.start();
    window.ui->m_CtrlButton_ApplyChanges->click();
    const double time = Milliseconds(timer);
    if (window.m_bEditMetadata)
        std::printf("ERROR: the Apply click did not save\n");
    return time;
}

// The window's own slots against the load and the save they must do.
void WindowClicks(const QString& root, int rounds)
{
    qputenv("NALVO_VOLUMES_ROOT", root.toUtf8());
    // The player opens no audio device: the sink's own start is not the
    // window's to answer for.
    if (qEnvironmentVariableIsEmpty("NALVO_AUDIO_SINK"))
        qputenv("NALVO_AUDIO_SINK", "null");
    const QString project = fixture::MakeProject(fixture::MakeVolume(root, QStringLiteral("CARD")), QStringLiteral("BENCH"));
    struct Kind {
        int tracks;
        bool poly;
    };
    const Kind kinds[] = {{8, false}, {24, false}, {8, true}};
    std::vector<SparseDay> days;
    QStringList names;
    for (size_t k = 0; k < std::size(kinds); ++k) {
        const QString dayPath = fixture::MakeDay(project, QDate(2024, 5, 1 + int(k)));
        const QFileInfo info(dayPath);
        days.push_back(WriteSparseDay(info.path(), info.fileName(), 50, kinds[k].tracks, 10, kinds[k].poly));
        names << (kinds[k].poly ? QStringLiteral("poly %1-track").arg(kinds[k].tracks)
                                : QStringLiteral("%1-track").arg(kinds[k].tracks));
    }
    ::sync();
    DlgMain window;
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        std::printf("ERROR: the window was not shown\n");
    std::printf("The window's selection slot (as its timer calls it) and Apply click against the take's load and "
                "the save alone; %d rounds, syncs left to the system\n", rounds);
    SetDiskSyncFunction([](const QVector<int>&) { return true; });
    for (size_t k = 0; k < days.size(); ++k) {
        const SparseDay& day = days[k];
        const QString& kind = names.at(int(k));
        // One take: two neighbours in turn, as the arrow keys walk a day.
        const QStringList pair = {day.takeIds.at(0), day.takeIds.at(1)};
        int step = 0;
        if (!SelectTakes(window, day, {pair.at(0)})) {
            std::printf("ERROR: the day %s is not listed\n", qPrintable(day.folder));
            continue;
        }
        TimedSelection(window);
        auto select = [&] {
            SelectTakes(window, day, {pair.at(++step % 2)});
            return TimedSelection(window);
        };
        auto load = [&] { return LoadAlone(day, pair.at(step % 2)); };
        auto times = Alternate(rounds, {select, load});
        PrintBeyond("selection", kind, times[0], times[1], "load");

        // The Apply click on the shown take against the save alone.
        int round = 0;
        QString trackNames[DlgMain::kTracks];
        auto click = [&] { return ClickApply(window, round++); };
        auto save = [&] {
            window.m_bEditMetadata = true;
            const double time = Apply(window, SparseDay{day.folder, {pair.at(step % 2)}, {}}, kinds[k].tracks,
                                      round++);
            window.m_bEditMetadata = false;
            return time;
        };
        times = Alternate(rounds, {click, save});
        PrintBeyond("Apply click", kind + QStringLiteral(" one take"), times[0], times[1], "save");

        // 50 takes: the editor's several-take mode, whose selection loads
        // no take.
        SelectTakes(window, day, day.takeIds);
        TimedSelection(window);
        auto selectAll = [&] {
            SelectTakes(window, day, day.takeIds);
            return TimedSelection(window);
        };
        times = Alternate(rounds, {selectAll, [] { return 0.0; }});
        PrintBeyond("selection", kind + QStringLiteral(" 50 takes"), times[0], times[1], "load");
        auto saveAll = [&] {
            window.m_bEditMetadata = true;
            const double time = Apply(window, day, kinds[k].tracks, round++);
            window.m_bEditMetadata = false;
            return time;
        };
        times = Alternate(rounds, {click, saveAll});
        PrintBeyond("Apply click", kind + QStringLiteral(" 50 takes"), times[0], times[1], "save");
    }
    SetDiskSyncFunction(DiskSyncFunction());
}

// A mark in the system calls strace logs: a look at a name no file has.
void MarkCalls(const char* what)
{
    (void)::access((QByteArray("/nalvo-calls-mark:") + what).constData(), F_OK);
}

// What apply_calls.sh counts (bench_apply calls): one Apply of 50 takes x 24 files, its syncs
// left to the system, between two marks, then between two more the bound:
// the same heads read (a head and a tail window of each file) and the same
// bytes written in place, with plain calls.
int MarkedApply(const QString& folder)
{
    DlgMain window;
    window.m_bEditMetadata = true;
    const SparseDay day = WriteSparseDay(folder, QStringLiteral("day-50x24"), 50, 24, 10);
    ApplyUnsynced(window, day, 24, 0);
    const QList<QList<Region>> regions = SavedRegions(day.files);
    MarkCalls("apply-begin");
    ApplyUnsynced(window, day, 24, 1);
    MarkCalls("apply-end");
    MarkCalls("bound-begin");
    for (const QString& file : day.files) {
        const int fd = ::open(QFile::encodeName(file).constData(), O_RDONLY | O_CLOEXEC);
        char head[4096];
        char tail[16384];
        const off_t length = fd >= 0 ? ::lseek(fd, 0, SEEK_END) : 0;
        if (fd < 0 || ::pread(fd, head, sizeof head, 0) < 0
            || ::pread(fd, tail, sizeof tail, std::max<off_t>(0, length - off_t(sizeof tail))) < 0)
            return 1;
        ::close(fd);
    }
    WriteRegionsInPlace(day.files, regions, false);
    MarkCalls("bound-end");
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QuietDebugOutput();
    QStringList args;
    if (const int exitCode = ReadToolArguments(app.arguments(), "bench_apply [rounds | calls]", 0, 1, &args);
        exitCode >= 0)
        return exitCode;
    if (args.value(0) == QLatin1String("calls")) {
        QTemporaryDir dir;
        return dir.isValid() ? MarkedApply(dir.path()) : 1;
    }
    const int rounds = args.isEmpty() ? 7 : std::max(5, args.at(0).toInt());
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    DlgMain window;
    window.m_bEditMetadata = true;
    std::printf("Apply (DlgMain::SaveMetadata of the takes) against the same bytes written in place; %d rounds\n",
                rounds);
    for (const int takes : {1, 50}) {
        for (const int tracks : {8, 24}) {
            const QString name = QStringLiteral("day-%1x%2").arg(takes).arg(tracks);
            const SparseDay day = WriteSparseDay(dir.path(), name, takes, tracks, 10);
            ::sync();
            // The first Apply makes the documents what every later one
            // rewrites; the bound writes the bytes it leaves.
            int round = 0;
            Apply(window, day, tracks, round++);
            const QList<QList<Region>> regions = SavedRegions(day.files);
            const auto times = Alternate(
                rounds, {[&] { return ApplyUnsynced(window, day, tracks, round++); },
                         [&] { return WriteRegionsInPlace(day.files, regions, false); },
                         [&] { return Apply(window, day, tracks, round++); },
                         [&] { return WriteRegionsInPlace(day.files, regions, true, kSyncThreads); }});
            std::printf("%2d takes x %2d files: Apply, syncs left to the system, %.2f ms; the bytes written in place "
                        "%.2f ms (bound 1 thread): ratio %.2f (target <= 3)\n",
                        takes, tracks, Median(times[0]), Median(times[1]), MedianRatio(times[0], times[1]));
            std::printf("%2d takes x %2d files: Apply synced %.2f ms; the bytes written in place, fdatasync each "
                        "%.2f ms (bound: faster of 1 and %d threads): ratio %.2f (target <= 2)\n",
                        takes, tracks, Median(times[2]), Median(times[3]), kSyncThreads,
                        MedianRatio(times[2], times[3]));
            // The take's load and the save's look under its lock: two loads' names and a few.
            const quint64 asked = FolderNameProbe::NamesAskedOfDisk();
            ApplyUnsynced(window, day, tracks, round++);
            PrintNamesAsked(qPrintable(QStringLiteral("%1 takes x %2 files: Apply").arg(takes, 2).arg(tracks, 2)),
                            double(FolderNameProbe::NamesAskedOfDisk() - asked) / takes, tracks, 2.5);
            std::fflush(stdout);
        }
    }
    QTemporaryDir cards;
    if (!cards.isValid())
        return 1;
    WindowClicks(cards.path(), rounds);
    return 0;
}
