#ifndef NALVO_TAKE_TAKERENAME_H
#define NALVO_TAKE_TAKERENAME_H

#include <QList>
#include <QPair>
#include <QString>

// The short and long file names of a take, as the editor's file-name modes
// give them. base6 is the take's six-character identifier, folder ends
// with "/", ext has no dot, NN is the two-digit track number.
namespace TakeNames {

// The take text of a name: the number alone for the templates without
// indicator (2, 3, 5), else prefix + number.
QString TakeTextFor(const QString& takePrefix, const QString& takeNumber, int nScTkTemplate);

// "==<scene> <take>==": the scene right-aligned in 8 and cut to 8 (templates
// 4 and 5 take it whole), the take trimmed, right-aligned in 6 and cut to 6;
// characters that are neither letters nor digits become blanks. The
// underscore style writes "_" for every "=" and blank.
QString LongMiddle(QString scene, QString takeText, int nScTkTemplate, bool underscore);

QString ShortPoly(const QString& folder, const QString& base6, const QString& suffix, const QString& ext);
QString ShortMono(const QString& folder, const QString& base6, QChar separator, int track, const QString& ext);
QString LongPoly(const QString& folder, const QString& base6, const QString& middle, const QString& suffix,
                 const QString& ext, bool underscore);
QString LongMono(const QString& folder, const QString& base6, const QString& middle, QChar separator, int track,
                 const QString& ext, bool underscore);

}  // namespace TakeNames

// Moves the files of one take (all in one folder) to new names as a whole:
// under the folder's lock held alone, every target is checked before the
// first move, the moves are recorded on the disk before it (see
// ReplaceJournal::BeginRenames), and a failed move puts every file moved
// before it back under its old name. A process killed in the middle leaves
// the record; the next load of the take under either name finishes the moves.
class TakeRename
{
public:
    enum class Result { Done, Clash, Missing, Failed };

    // A move to the same name is dropped.
    void Add(const QString& from, const QString& to);

    // Done: every file under its new name, on the disk. Clash: a target
    // exists (Offender() names it), nothing moved. Missing: a source is gone,
    // nothing moved. Failed: the folder is busy with another write or load,
    // the record cannot be written, a source or its folder is write-protected
    // (the platform's writability probe, asked just before each move), the
    // system refused a move (through a hard link: also its old name's
    // removal) or the new names could not be synced, or the
    // record was taken over by another program or computer that judged this
    // rename interrupted (held up past the age rule on a share without
    // locks: it settles the files, this one moves none after); every file
    // is back under its old name unless ErrorText() says otherwise.
    Result Execute();
    QString Offender() const { return m_czOffender; }
    QString ErrorText() const { return m_czError; }

private:
    // The record was taken over by a reader before the move of next: no
    // file moves any more; ErrorText tells what the disk holds.
    Result TakenOver(const QString& next);
    // What the failed move left of its own: an empty holder or a second name
    // of the file at its new name goes; a file that moved after all is
    // counted in *moved, to be taken back. False when something stays for
    // the next load.
    static bool ClearFailedMove(const QPair<QString, QString>& move, int* moved);

    QList<QPair<QString, QString>> m_ltMoves;
    QString m_czOffender;
    QString m_czError;
};

#endif
