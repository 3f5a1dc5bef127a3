#ifndef NALVO_SOUNDFILE_BEXTDESCRIPTION_H
#define NALVO_SOUNDFILE_BEXTDESCRIPTION_H

#include <QByteArray>
#include <QString>

// The key=value lines of a bext Description ("aSCENE=12A\r\n" ...).
//
// Reading is anchored: a key matches only at the start of a line, so
// "aSCENE=" is never found inside a note. Editing keeps unknown lines and
// the order of the lines; a missing known line is appended in the
// recorder's order. The composed text never passes the room it is given
// (255 bytes, so byte 255 stays NUL): the note is cut first, then the
// track name.
class BextDescription
{
public:
    BextDescription() = default;
    // Lines of the bytes up to the first NUL; CR LF, LF and CR alone each
    // end a line, and every line keeps its own end.
    explicit BextDescription(const QByteArray& bytes);

    // The value after "key" (e.g. "aSCENE="), trimmed; empty when absent.
    QString Value(const QString& key) const;
    // The same read straight from description bytes, without building the
    // lines: a load reads a dozen values of every file.
    static QString ValueIn(const QByteArray& bytes, const QString& key);
    bool HasKey(const QString& key) const;
    // Replaces the value of the key's line, or adds the line. Control
    // characters in the value become blanks: it stays one line.
    void SetValue(const QString& key, const QString& value);
    // Gives the first track-name line (aTRK<n>=) the number track, keeping
    // its name; adds an empty one when there is none.
    void RenumberTrackLine(int track);

    // The text (new lines ended as its first line), at most room bytes: the note, then the
    // track name (of key trackKey) are shortened until it fits. Empty and
    // ok false when even that is not enough.
    QByteArray Compose(int room, const QString& trackKey, bool* ok) const;

    // Track-name line key of a 1-based track ("aTRK3=").
    static QString TrackKey(int track);

private:
    // Where the first line of text that starts with key begins; -1 when none.
    static int LineOf(const QByteArray& text, const QString& key);
    // Where the line of text that begins at start ends (its CR or LF, or
    // the end of text).
    static int LineEnd(const QByteArray& text, int start);
    // Where the line after the one ending at lineEnd begins.
    static int NextLine(const QByteArray& text, int lineEnd);
    QByteArray NewLineEnd() const;
    static int Rank(const char* line, int length);

    // The lines in Latin-1 with their own ends: the text a description is
    // written as, so an edit changes bytes in place and nothing is parsed or
    // joined again.
    QByteArray m_Text;
};

#endif
