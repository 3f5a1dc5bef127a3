// Random keys, clicks and drags on the main window over the demo card for a
// fixed time per seed, as the window system delivers them; modal boxes are
// answered at random and every other dialog, menu or box is closed. The
// window must not crash, its event loop must answer within 2 s (the time a
// busy machine kept it waiting for a processor aside), and no take's audio
// may change.
//   NALVO_MONKEY_SEED=<n>      runs that seed alone (a failure prints it)
//   NALVO_MONKEY_SECONDS=<s>   seconds per seed (default 10)
//   NALVO_MONKEY_SEEDS=<k>     seeds 1..k (default 3)
#include "ui_dlgmain.h"

#include "foundation/platform/appfolders.h"
#include "foundation/platform/desktopshell.h"
#include "mainwindow/dlgmain.h"
#include "player/sfxthread.h"
#include "tests/support/userinput.h"
#include "tests/support/demomedia.h"
#include "tests/support/modalboxanswerer.h"
#include "tests/support/scratchdir.h"
#include "tests/support/tableparts.h"

#include <QDialog>
#include <QDirIterator>
#include <QMenu>
#include <QMessageBox>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <unistd.h>

using namespace userinput;

namespace {

qint64 NowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch()).count();
}

// The time the thread tid of this process spent ready to run but waiting
// for a processor, in ms (its schedstat); -1 where the system does not tell.
qint64 RunQueueWaitMs(pid_t tid)
{
    char path[64];
    std::snprintf(path, sizeof(path), "/proc/self/task/%d/schedstat", int(tid));
    std::FILE* file = std::fopen(path, "re");
    if (!file)
        return -1;
    unsigned long long running = 0, waiting = 0;
    const bool read = std::fscanf(file, "%llu %llu", &running, &waiting) == 2;
    std::fclose(file);
    return read ? qint64(waiting / 1000000) : -1;
}

// Aborts the program, naming the seed, when the GUI thread's heartbeat stops
// for longer than the limit: the time it ran or was blocked, not the time
// other programs on a busy machine held the processors it was ready for.
// Made on the GUI thread.
class Watchdog
{
public:
    Watchdog(quint32 seed, qint64 limitMs) : m_nSeed(seed), m_nLimitMs(limitMs), m_nGuiThread(::gettid())
    {
        m_nBeat = NowMs();
        m_Thread = std::thread([this] { Watch(); });
    }
    ~Watchdog()
    {
        {
            std::lock_guard<std::mutex> lock(m_Mutex);
            m_bStop = true;
        }
        m_Wake.notify_all();
        m_Thread.join();
    }
    void Beat() { m_nBeat = NowMs(); }
    void SetAction(int action) { m_nAction = action; }

private:
    void Watch()
    {
        std::unique_lock<std::mutex> lock(m_Mutex);
        // The GUI thread's wait for a processor as this watch first saw its
        // last beat (up to one tick after it: never less silence than was).
        qint64 seenBeat = -1, waitAtBeat = -1;
        while (!m_Wake.wait_for(lock, std::chrono::milliseconds(100), [this] { return m_bStop; })) {
            const qint64 beat = m_nBeat, wait = RunQueueWaitMs(m_nGuiThread);
            if (beat != seenBeat) {
                seenBeat = beat;
                waitAtBeat = wait;
            }
            const qint64 held = wait >= 0 && waitAtBeat >= 0 ? wait - waitAtBeat : 0;
            const qint64 silent = NowMs() - beat - held;
            if (silent > m_nLimitMs) {
                std::fprintf(stderr,
                             "monkey: the event loop did not answer for %lld ms (and waited %lld ms for a processor) "
                             "at action %d of seed %u (NALVO_MONKEY_SEED=%u reproduces)\n",
                             static_cast<long long>(silent), static_cast<long long>(held), m_nAction.load(), m_nSeed,
                             m_nSeed);
                std::fflush(stderr);
                std::abort();
            }
        }
    }

    const quint32 m_nSeed;
    const qint64 m_nLimitMs;
    const pid_t m_nGuiThread;
    std::atomic<qint64> m_nBeat{0};    // written by the GUI thread, read by the watcher
    std::atomic<int> m_nAction{0};     // written by the GUI thread, read by the watcher
    std::mutex m_Mutex;
    std::condition_variable m_Wake;
    bool m_bStop = false;              // under m_Mutex
    std::thread m_Thread;
};

const int kKeys[] = {Qt::Key_Up,     Qt::Key_Down,   Qt::Key_Left,      Qt::Key_Right,    Qt::Key_Up,
                     Qt::Key_Down,   Qt::Key_Left,   Qt::Key_Right,     Qt::Key_Space,    Qt::Key_Space,
                     Qt::Key_Escape, Qt::Key_Return, Qt::Key_Tab,       Qt::Key_Backtab,  Qt::Key_Backspace,
                     Qt::Key_Delete, Qt::Key_Home,   Qt::Key_End,       Qt::Key_PageUp,   Qt::Key_PageDown,
                     Qt::Key_Enter,  Qt::Key_Minus,  Qt::Key_Period,    Qt::Key_Slash,    Qt::Key_Percent};

Qt::KeyboardModifiers RandomModifiers(QRandomGenerator& rng)
{
    switch (rng.bounded(10)) {
    case 0: return Qt::ShiftModifier;
    case 1: return Qt::ControlModifier;
    case 2: return Qt::AltModifier;
    case 3: return Qt::ControlModifier | Qt::ShiftModifier;
    default: return Qt::NoModifier;
    }
}

int EnvInt(const char* name, int fallback)
{
    return qEnvironmentVariableIsSet(name) ? qEnvironmentVariableIntValue(name) : fallback;
}

int SecondsPerSeed() { return EnvInt("NALVO_MONKEY_SECONDS", 10); }
int SeedCount() { return qEnvironmentVariableIsSet("NALVO_MONKEY_SEED") ? 1 : EnvInt("NALVO_MONKEY_SEEDS", 3); }

}  // namespace

class TestMonkey : public QObject
{
    Q_OBJECT

    RecordingDesktopShell m_Shell;
    fixture::ScratchDir m_Pristine;
    QMap<QString, QStringList> m_Audio;
    int m_nClosed = 0;

    // Answers or closes whatever opened over the window: a modal box gets
    // Return or Escape at random, menus and other windows are closed. Each
    // answer is carried out from the event loop, so that a box the answer
    // opens in turn is answered too.
    void CloseOthers(DlgMain* window, QRandomGenerator& rng)
    {
        const auto later = [this](QWidget* target, std::function<void()> action) {
            ++m_nClosed;
            QTimer::singleShot(0, target, std::move(action));
        };
        if (QWidget* popup = QApplication::activePopupWidget()) {
            later(popup, [popup] { popup->close(); });
            return;
        }
        if (QWidget* modal = QApplication::activeModalWidget()) {
            const int how = rng.bounded(4);
            later(modal, [modal, how] {
                if (how < 2)
                    QTest::keyClick(modal, how == 0 ? Qt::Key_Return : Qt::Key_Escape);
                else if (auto* dialog = qobject_cast<QDialog*>(modal))
                    dialog->reject();
                else
                    modal->close();
            });
            return;
        }
        for (QWidget* top : QApplication::topLevelWidgets())
            if (top != window && top->isVisible() && (qobject_cast<QDialog*>(top) || qobject_cast<QMenu*>(top)))
                later(top, [top] { top->close(); });
    }

private slots:
    void initTestCase()
    {
        qputenv("NALVO_AUDIO_SINK", "null");
        DesktopShell::setCurrent(&m_Shell);
        QDir().mkpath(AppFolders::ConfigFolder());
        QVERIFY(!fixture::WriteDemoVolume(m_Pristine.path()).isEmpty());
        m_Audio = AudioByTake(m_Pristine.path());
    }

    void cleanupTestCase() { DesktopShell::setCurrent(nullptr); }

    void init()
    {
        if (!CurrentRowInPart())
            QSKIP("a seed of another part");
    }

    void monkey_data()
    {
        QTest::addColumn<quint32>("seed");
        if (qEnvironmentVariableIsSet("NALVO_MONKEY_SEED")) {
            const quint32 seed = quint32(qEnvironmentVariableIntValue("NALVO_MONKEY_SEED"));
            QTest::newRow(qPrintable(QStringLiteral("seed %1").arg(seed))) << seed;
            return;
        }
        for (int seed = 1; seed <= SeedCount(); ++seed)
            QTest::newRow(qPrintable(QStringLiteral("seed %1").arg(seed))) << quint32(seed);
    }

    void monkey()
    {
        QFETCH(quint32, seed);
        const int seconds = SecondsPerSeed();
        qInfo("monkey: seed %u for %d s (NALVO_MONKEY_SEED=%u NALVO_MONKEY_SECONDS=%d reproduces)", seed, seconds,
              seed, seconds);
        const QByteArray repro = QByteArray("seed ") + QByteArray::number(seed);

        // Every seed starts from the same card.
        fixture::ScratchDir media;
        QDirIterator files(m_Pristine.path(), QDir::Files, QDirIterator::Subdirectories);
        while (files.hasNext()) {
            const QString from = files.next();
            const QString to = media.path() + from.mid(m_Pristine.path().size());
            QVERIFY(QDir().mkpath(QFileInfo(to).absolutePath()) && QFile::copy(from, to));
        }
        qputenv("NALVO_VOLUMES_ROOT", media.path().toUtf8());
        QVERIFY(QDir::setCurrent(media.path()));
        const auto leave = qScopeGuard([] { QDir::setCurrent(QDir::tempPath()); });
        QFile::remove(AppFolders::SettingsFilePath());

        QRandomGenerator rng(seed);
        QRandomGenerator closerRng(seed ^ 0x5eed);
        auto window = std::make_unique<DlgMain>();
        DlgMain* w = window.get();
        QTimer closer;
        connect(&closer, &QTimer::timeout, this, [this, w, &closerRng] { CloseOthers(w, closerRng); });
        closer.start(150);
        w->show();
        QVERIFY(ModalBoxAnswerer::Activate(w));
        // The hang guard runs from the first frame shown, once the event
        // loop answers: building the window, slow on a busy machine, is no
        // hang of the window.
        bool answered = false;
        QTimer::singleShot(0, this, [&answered] { answered = true; });
        QTRY_VERIFY(answered);
        std::unique_ptr<Watchdog> watchdog = std::make_unique<Watchdog>(seed, 2000);
        QTimer beat;
        connect(&beat, &QTimer::timeout, this, [&watchdog] { watchdog->Beat(); });
        beat.start(50);
        // The card opened down to its takes, as a person browses it.
        QTreeView* tree = w->ui->m_CtrlTreeView;
        for (int pass = 0; pass < 4; ++pass) {
            tree->expandAll();
            QTest::qWait(250);
        }

        QElapsedTimer clock;
        clock.start();
        int action = 0;
        QSet<QString> shown;
        int playing = 0;
        m_nClosed = 0;
        while (clock.elapsed() < seconds * 1000) {
            watchdog->SetAction(++action);
            if (QApplication::activeWindow() != w && !QApplication::activeModalWidget()
                && !QApplication::activePopupWidget())
                ModalBoxAnswerer::Activate(w);
            const int kind = rng.bounded(100);
            if (kind < 45) {
                Key(w, kKeys[rng.bounded(int(sizeof(kKeys) / sizeof(kKeys[0])))], RandomModifiers(rng));
            } else if (kind < 55) {
                Key(w, Qt::Key_F1 + rng.bounded(12), RandomModifiers(rng));
            } else if (kind < 65) {
                Key(w, Qt::Key_A + rng.bounded(26), RandomModifiers(rng));
            } else {
                // Clicks land on the browser's rows, on a control, or anywhere.
                QPoint at(rng.bounded(qMax(1, w->width())), rng.bounded(qMax(1, w->height())));
                const int where = rng.bounded(10);
                if (where < 4) {
                    QWidget* rows = tree->viewport();
                    at = rows->mapTo(w, QPoint(rng.bounded(qMax(1, rows->width())),
                                               rng.bounded(qMax(1, rows->height()))));
                } else if (where < 7) {
                    QList<QWidget*> targets;
                    for (QWidget* child : w->findChildren<QWidget*>())
                        if (child->isVisible() && child->isEnabled() && child->focusPolicy() != Qt::NoFocus
                            && w->rect().contains(child->mapTo(w, child->rect().center())))
                            targets << child;
                    if (!targets.isEmpty()) {
                        QWidget* target = targets.at(rng.bounded(targets.size()));
                        at = target->mapTo(w, target->rect().center());
                    }
                }
                const int how = rng.bounded(12);
                if (how < 2) {
                    const QPoint to = at + QPoint(rng.bounded(-150, 151), rng.bounded(-150, 151));
                    DragAt(w, at, QPoint(qBound(0, to.x(), w->width() - 1), qBound(0, to.y(), w->height() - 1)));
                } else {
                    ClickAt(w, at, how < 4 ? Qt::RightButton : Qt::LeftButton,
                            how % 5 == 0 ? Qt::ControlModifier : Qt::NoModifier);
                }
            }
            QTest::qWait(int(rng.bounded(5, 60)));
            shown.insert(w->m_SndPerform.m_czBaseName);
            playing += w->m_SndPerform.GetPlayerState() == PlayerPlaying;
        }
        qInfo("monkey: seed %u, %d actions, %d takes shown, playing after %d, %d boxes closed", seed, action,
              int(shown.size()), playing, m_nClosed);
        closer.stop();
        window.reset();
        beat.stop();
        watchdog.reset();

        const QMap<QString, QStringList> after = AudioByTake(media.path());
        for (auto it = m_Audio.cbegin(); it != m_Audio.cend(); ++it)
            QVERIFY2(after.value(it.key()) == it.value(), qPrintable(repro + ": audio of " + it.key().toUtf8()));
    }
};

int main(int argc, char** argv)
{
    // A long run outlasts QtTest's limit for one test function.
    if (!qEnvironmentVariableIsSet("QTEST_FUNCTION_TIMEOUT"))
        qputenv("QTEST_FUNCTION_TIMEOUT", QByteArray::number(qMax(300, SeedCount() * (SecondsPerSeed() + 60)) * 1000));
    return RunPartedTest<TestMonkey>(argc, argv);
}
#include "test_monkey.moc"
