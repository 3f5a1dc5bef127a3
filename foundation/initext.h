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
// holds none); fill sets the keys. Empty, with *why set, when the scratch
// file could not be made or read back.
QByteArray IniText(const QString& base, const std::function<void(QSettings&)>& fill, QString* why);

#endif
