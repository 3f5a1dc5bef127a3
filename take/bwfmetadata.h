#ifndef NALVO_TAKE_BWFMETADATA_H
#define NALVO_TAKE_BWFMETADATA_H

#include "foundation/fileinfolist.h"
#include "take/soundperform.h"

#include <QObject>
#include <QString>

// One take's metadata for the reports and the day list: the take object and
// a cached listing of the current day folder, so that a day's takes are
// found without probing the disk for every possible track file name.
class QBwfMetadata : public QObject
{
    Q_OBJECT
public:
    enum SetupResult : int {
        SetupLoaded = 0,       // loaded, take status 0
        SetupWrongFile = 1,    // loaded, take status not 0 ("Wrong File #%d" sent)
        SetupLoadFailed = 2,   // not found or not loadable ("Error loading ..." sent)
    };

    explicit QBwfMetadata(QObject* parent = nullptr);
    ~QBwfMetadata() override;

    // Selects the take fileId (first 6 characters) of the day folder
    // media/project/day. The folder is listed again when it changed or the id
    // is not in the cached listing. A take selected again gives its cached
    // result without reloading. quick loads from the listing; sendMessages
    // sends the warnings and errors on the message channel.
    int SetupInit(QString const& media, QString const& project, QString const& day,
                  QString const& fileId, bool quick, bool sendMessages);
    // Loads the take at takePath (day folder + take root or poly name, as
    // the day list finds it) in the same way, from the cached listing when
    // it is of that folder; never from the cache of a previous result.
    int SetupTake(const QString& takePath, bool quick, bool sendMessages);
    // Takes the ".WAV" listing of the day folder media/project/day that the
    // caller already holds, so SetupInit does not list the folder again.
    void UseListing(QString const& media, QString const& project, QString const& day,
                    const MyFileInfoList& listing);

    QSoundPerform* SoundPerform() { return &m_SndPerform; }
    const QSoundPerform* SoundPerform() const { return &m_SndPerform; }
    // The take path (folder + take root, or the poly file's path) last loaded.
    QString TakePath() const { return m_czTakePath; }

private:
    // Folder + root of the first listed file of the id; empty when none.
    QString TakePathOf(const QString& id6) const;
    int Load(const QString& folder, const QString& id6, bool quick, bool sendMessages);
    // Loads m_czTakePath; folder and name for the messages.
    int LoadTakePath(const QString& folder, const QString& name, bool quick, bool sendMessages);

    QSoundPerform m_SndPerform;
    MyFileInfoList m_Listing;
    QString m_czListedFolder;
    QString m_czMedia;
    QString m_czProject;
    QString m_czDay;
    QString m_czFileId;
    QString m_czTakePath;
    bool m_bQuick = false;
    bool m_bFlag = false;
    bool m_bHasResult = false;
    int m_nLastResult = SetupLoadFailed;
};

#endif
