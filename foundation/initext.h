#ifndef NALVO_FOUNDATION_INITEXT_H
#define NALVO_FOUNDATION_INITEXT_H

#include <QByteArray>
#include <QString>

#include <functional>

class QSettings;

// The text of an ini settings file as QSettings writes it, made in a
// scratch folder of the system's so that the file itself can then be
// replaced whole through the disk calls (ReplaceFileWhole): QSettings'
// own save reports success after a write the volume refused. base, when
// not empty, is an ini file whose keys the text starts from (a missing one
// holds none); fill sets the keys. The text is read back and every key
// compared with what was set, as QSettings tells a write the scratch
// folder's volume cut short as done. Empty, with *why set (a reason in
// lower case, for a message's parentheses), when the scratch file could
// not be made or reads back otherwise.
QByteArray IniText(const QString& base, const std::function<void(QSettings&)>& fill, QString* why);

#endif
