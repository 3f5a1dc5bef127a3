#ifndef NALVO_FOUNDATION_QPATH_H
#define NALVO_FOUNDATION_QPATH_H

#include <QString>

// A path split the way take files are named: folder, file name, extension,
// take root and the separator of the track suffix. Pure text, except
// GetDrive, which makes the path absolute.
class QPath
{
public:
    // One trailing "/" is dropped, then the path is cleaned.
    explicit QPath(const QString& path = QString());

    // Up to and including the last "/"; empty when there is none.
    QString GetPath() const;
    // The text after the last "/" (the whole text when there is none); without
    // the extension, the text from the last "." on is cut off.
    QString GetFilename(bool withExtension) const;
    // The text after the last "." of the file name; empty when there is none.
    // A dot in a folder name does not count.
    QString GetExtension() const;
    // The file name without extension, cut before the track suffix's separator.
    QString GetRoot() const;
    // The separator ('#', '+', '-' or '_') of the track suffix: the rightmost
    // separator among the last three characters of the name without
    // extension. Empty when there is none.
    QString GetSeparator() const;
    // The absolute path of the folder holding the path; empty for an empty path.
    QString GetDrive() const;

private:
    QString m_czPath;
};

// True when the path names one track file of a mono take: a separator and one
// track character, or a separator and two digits, before a four-character
// extension such as ".WAV". "T001_3.WAV" and "T001-03.WAV" are mono files.
bool IsMonoFile(const QString& path);

// The take root of a mono track file path: the path without its separator,
// track number and extension. "T001_03.WAV" and "T001_3.WAV" both give "T001".
// A text shorter than 7 characters is returned unchanged.
QString AudioPathFileShortenedToRacine(QString path);

#endif
