#include "processing/outputset.h"

#include "foundation/fileutil.h"
#include "foundation/platform/diskprobes.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSet>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

// A file kept aside while its replacement takes its name.
struct tyAside {
    QString czFinal;
    QString czAside;        // empty: nothing was replaced
    bool bLinked = false;   // a second name: the final name never disappeared
};

QString AsideName(const QString& finalPath)
{
    const QFileInfo info(finalPath);
    return info.absolutePath() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".aside-")
           + QString::number(QRandomGenerator::global()->generate() & 0xFFFFFF, 16);
}

bool KeepAside(tyAside& aside)
{
    for (int attempt = 0; attempt < 8; ++attempt) {
        aside.czAside = AsideName(aside.czFinal);
        const QByteArray from = QFile::encodeName(aside.czFinal);
        const QByteArray to = QFile::encodeName(aside.czAside);
        if (::link(from.constData(), to.constData()) == 0) {
            aside.bLinked = true;
            return true;
        }
        if (errno == EEXIST)
            continue;
        // Volumes without hard links (FAT cards): the file moves aside.
        if (!QFileInfo::exists(aside.czAside) && ::rename(from.constData(), to.constData()) == 0)
            return true;
        break;
    }
    aside.czAside.clear();
    return false;
}

// The kept file back under its name (over whatever holds it now).
bool Restore(const tyAside& aside)
{
    return ::rename(QFile::encodeName(aside.czAside).constData(), QFile::encodeName(aside.czFinal).constData()) == 0;
}

}  // namespace

OutputSet::~OutputSet() { DiscardAll(); }

SafeOutput& OutputSet::Add(const QString& finalPath, SafeOutput::Replace replace)
{
    m_Outputs.push_back(std::make_unique<SafeOutput>(finalPath, replace));
    return *m_Outputs.back();
}

bool OutputSet::CloseAll()
{
    for (auto& output : m_Outputs) {
        if (!output->Close(false))
            return false;
    }
    return true;
}

int OutputSet::SyncAll()
{
    // The outputs only (not what other programs wrote to the volume), all
    // together.
    QVector<int> descriptors;
    int error = 0;
    for (auto& output : m_Outputs) {
        const int fd = ::open(QFile::encodeName(output->TemporaryPath()).constData(), O_RDONLY | O_CLOEXEC);
        if (fd >= 0)
            descriptors << fd;
        else if (error == 0)
            error = errno;
    }
    if (error == 0)
        error = SyncFiles(descriptors);
    for (const int fd : descriptors)
        ::close(fd);
    return error;
}

int OutputSet::SyncFolders()
{
    QSet<QString> folders;
    for (auto& output : m_Outputs)
        folders.insert(QFileInfo(output->FinalPath()).absolutePath());
    for (const QString& folder : folders) {
        if (const int error = SyncFolder(folder))
            return error;
    }
    return 0;
}

void OutputSet::DiscardAll()
{
    for (auto& output : m_Outputs)
        output->Discard();
}

bool OutputSet::CommitAll(bool sync)
{
    if (const int error = sync ? SyncAll() : 0) {
        m_czError = QStringLiteral("the new files could not be written to the disk: %1").arg(SystemErrorText(error));
        DiscardAll();
        return false;
    }
    std::vector<tyAside> asides(m_Outputs.size());
    size_t done = 0;
    bool ok = true;
    for (; done < m_Outputs.size() && ok; ++done) {
        SafeOutput& output = *m_Outputs[done];
        tyAside& aside = asides[done];
        aside.czFinal = output.FinalPath();
        if (QFileInfo::exists(aside.czFinal) && !KeepAside(aside)) {
            m_czError = QStringLiteral("%1 could not be kept aside").arg(aside.czFinal);
            ok = false;
            break;
        }
        if (!output.Commit()) {
            m_czError = output.ErrorText();
            // A file moved aside goes back at once; a linked one never left.
            if (!aside.czAside.isEmpty()) {
                if (aside.bLinked)
                    QFile::remove(aside.czAside);
                else
                    Restore(aside);
            }
            ok = false;
            break;
        }
    }
    // Names that may not survive a power cut are not reported as kept.
    if (const int error = ok && sync ? SyncFolders() : 0) {
        m_czError = QStringLiteral("the new names could not be written to the disk: %1").arg(SystemErrorText(error));
        ok = false;
    }
    if (ok) {
        for (const tyAside& aside : asides) {
            if (!aside.czAside.isEmpty())
                QFile::remove(aside.czAside);
        }
        return true;
    }
    // Take back what took its name, newest first.
    for (size_t i = done; i-- > 0;) {
        if (!m_Outputs[i]->IsCommitted())
            continue;
        const tyAside& aside = asides[i];
        if (aside.czAside.isEmpty())
            QFile::remove(aside.czFinal);
        else
            Restore(aside);
    }
    DiscardAll();
    return false;
}
