#include "report/reportfile.h"

#include "foundation/platform/diskprobes.h"

#include <QFileInfo>

#include <cerrno>
#include <cstring>

qint64 ReportFile::tyCheckedFile::writeData(const char* data, qint64 size)
{
    errno = 0;
    const qint64 written = QFile::writeData(data, size);
    if (written != size && nFirstErrno == 0)
        nFirstErrno = errno;
    return written;
}

ReportFile::ReportFile(const QString& finalPath)
    : m_czFinalPath(finalPath)
{
}

ReportFile::~ReportFile()
{
    Discard();
}

bool ReportFile::Fail(QFileDevice::FileError error, const QString& text)
{
    m_eError = error;
    m_czError = text;
    return false;
}

bool ReportFile::CheckReplaceable()
{
    const QFileInfo target(m_czFinalPath);
    if (target.isDir())
        return Fail(QFileDevice::RemoveError, QStringLiteral("Is a directory"));
    if ((target.exists() || target.isSymLink()) && !IsWritablePath(target.absolutePath()))
        return Fail(QFileDevice::RemoveError, QStringLiteral("Permission denied"));
    return true;
}

bool ReportFile::Open()
{
    // The length of a report is not known beforehand: no room is reserved,
    // the checked writes and the final flush find a full volume.
    m_pOutput = std::make_unique<SafeOutput>(m_czFinalPath, SafeOutput::Replace::Existing);
    if (!m_pOutput->Begin(0) || !m_pOutput->Close())
        return Fail(QFileDevice::OpenError, m_pOutput->ErrorText());
    m_File.setFileName(m_pOutput->TemporaryPath());
    if (!m_File.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        const QString why = m_File.errorString();
        const QFileDevice::FileError error = m_File.error();
        m_pOutput->Discard();
        return Fail(error, why);
    }
    return true;
}

bool ReportFile::Write(const QByteArray& bytes)
{
    if (!m_File.isOpen())
        return Fail(QFileDevice::WriteError, QStringLiteral("the file is not open"));
    if (m_File.write(bytes) != bytes.size() || m_File.error() != QFileDevice::NoError)
        return Fail(m_File.error() != QFileDevice::NoError ? m_File.error() : QFileDevice::WriteError,
                    m_File.errorString());
    return true;
}

bool ReportFile::Commit()
{
    if (!m_pOutput || !m_File.isOpen())
        return Fail(QFileDevice::WriteError, QStringLiteral("the file is not open"));
    // A write that failed earlier (the PDF writer does not look) shows here.
    errno = 0;
    bool written = m_File.error() == QFileDevice::NoError && m_File.flush();
    const int systemError = m_File.nFirstErrno != 0 ? m_File.nFirstErrno : errno;
    const QFileDevice::FileError error = m_File.error();
    // A failed buffered write leaves no text of its own behind.
    const QString why = systemError != 0 ? QString::fromLocal8Bit(std::strerror(systemError)) : m_File.errorString();
    m_File.close();
    written = written && m_File.error() == QFileDevice::NoError;
    if (!written) {
        m_pOutput->Discard();
        return Fail(error != QFileDevice::NoError ? error : QFileDevice::WriteError, why);
    }
    if (!m_pOutput->Commit())
        return Fail(QFileDevice::RenameError, m_pOutput->ErrorText());
    m_bCommitted = true;
    return true;
}

bool ReportFile::Discard()
{
    if (m_bCommitted || !m_pOutput)
        return false;
    if (m_File.isOpen())
        m_File.close();
    const QString temporary = m_pOutput->TemporaryPath();
    m_pOutput->Discard();
    m_pOutput.reset();
    return !temporary.isEmpty() && !QFileInfo::exists(temporary);
}
