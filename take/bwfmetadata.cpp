#include "take/bwfmetadata.h"

#include "foundation/messageloging.h"
#include "take/takefamily.h"

#include <QDir>

QBwfMetadata::QBwfMetadata(QObject* parent)
    : QObject(parent)
{
}

QBwfMetadata::~QBwfMetadata() = default;

namespace {
QString DayFolderOf(QString const& media, QString const& project, QString const& day)
{
    return QStringLiteral("%1/%2/%3/").arg(media, project, day);
}
}  // namespace

void QBwfMetadata::UseListing(QString const& media, QString const& project, QString const& day,
                              const MyFileInfoList& listing)
{
    m_Listing = listing;
    m_czListedFolder = DayFolderOf(media, project, day);
    m_bHasResult = false;
}

int QBwfMetadata::SetupInit(QString const& media, QString const& project, QString const& day,
                            QString const& fileId, bool quick, bool sendMessages)
{
    const QString folder = DayFolderOf(media, project, day);
    const QString id6 = fileId.left(6);
    const bool sameTake = m_bHasResult && folder == m_czListedFolder && id6 == m_czFileId.left(6)
                          && quick == m_bQuick;
    m_czMedia = media;
    m_czProject = project;
    m_czDay = day;
    m_czFileId = fileId;
    m_bQuick = quick;
    m_bFlag = sendMessages;
    // A take selected again keeps its result: a refused take stays refused.
    if (sameTake)
        return m_nLastResult;

    if (folder != m_czListedFolder || m_Listing.FindFileId(id6) < 0) {
        m_Listing.LoadEntryInfoList(folder, QStringList{QStringLiteral(".WAV")}, false, nullptr);
        m_czListedFolder = folder;
    }
    m_nLastResult = Load(folder, id6, quick, sendMessages);
    m_bHasResult = true;
    return m_nLastResult;
}

QString QBwfMetadata::TakePathOf(const QString& id6) const
{
    const int index = m_Listing.FindFileId(id6);
    if (index < 0)
        return QString();
    return TakePathOfFile(QDir(m_czListedFolder).absoluteFilePath(m_Listing.GetFileName(index)),
                          QStringLiteral("WAV"));
}

int QBwfMetadata::SetupTake(const QString& takePath, bool quick, bool sendMessages)
{
    QString folder;
    QString name;
    SplitTakePath(takePath, QStringLiteral("WAV"), &folder, &name);
    if (quick && folder != m_czListedFolder) {
        m_Listing.LoadEntryInfoList(folder, QStringList{QStringLiteral(".WAV")}, false, nullptr);
        m_czListedFolder = folder;
    }
    m_bHasResult = false;
    m_czTakePath = takePath;
    return LoadTakePath(folder, name, quick, sendMessages);
}

int QBwfMetadata::Load(const QString& folder, const QString& id6, bool quick, bool sendMessages)
{
    m_czTakePath = TakePathOf(id6);
    return LoadTakePath(folder, id6, quick, sendMessages);
}

int QBwfMetadata::LoadTakePath(const QString& folder, const QString& name, bool quick, bool sendMessages)
{
    bool loaded = false;
    if (!m_czTakePath.isEmpty()) {
        loaded = quick ? m_SndPerform.QuickInitFiles(m_czTakePath, QStringLiteral("WAV"), &m_Listing, false)
                       : m_SndPerform.InitFilesZZ(m_czTakePath, QStringLiteral("WAV"));
    } else {
        m_SndPerform.ResetVariables();
    }
    if (!loaded) {
        // A full load has told why already when it knows (see InitFilesZZ);
        // a quick one leaves that to this one message.
        const QString why = m_SndPerform.LoadFailureText();
        if (sendMessages && (quick || why.isEmpty()))
            SendUserMessage(QStringLiteral("Take not read"),
                            QStringLiteral("Error loading audio file metadata\n%1\n %2%3")
                                .arg(folder, name, why.isEmpty() ? QString() : QLatin1Char('\n') + why));
        return SetupLoadFailed;
    }
    if (m_SndPerform.m_nTakeStatus != 0) {
        if (sendMessages)
            SendUserMessage(QStringLiteral("Wrong File #%1").arg(m_SndPerform.m_nTakeStatus),
                            QStringLiteral("%1\n %2").arg(folder, name), 0, 2);
        return SetupWrongFile;
    }
    return SetupLoaded;
}
