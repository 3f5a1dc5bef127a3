#ifndef NALVO_REPORT_REPORTFILE_H
#define NALVO_REPORT_REPORTFILE_H

#include "foundation/safeoutput.h"

#include <QFile>
#include <QFileDevice>
#include <QString>

#include <memory>

// One report file (PDF, CSV or ALE) written under a hidden temporary name in
// its folder and renamed over the final name only when complete, so that a
// stopped or failed job leaves no partial file and an older report of the
// same name survives until the new one is whole.
//
// The temporary file is written through a buffered QFile (a PDF writer
// streams many small pieces); every failure of the device is kept and found
// by Commit(), which flushes, closes and renames.
class ReportFile
{
public:
    explicit ReportFile(const QString& finalPath);
    ~ReportFile();
    ReportFile(const ReportFile&) = delete;
    ReportFile& operator=(const ReportFile&) = delete;

    // The final name can be replaced: it is not a folder, and an existing
    // file sits in a folder where entries may be renamed and removed.
    bool CheckReplaceable();
    // Creates the temporary file and opens it for writing.
    bool Open();
    QIODevice* Device() { return &m_File; }
    bool IsOpen() const { return m_File.isOpen(); }
    // A write of the whole block, checked.
    bool Write(const QByteArray& bytes);
    // The device has failed since it was opened (a full volume, a size limit).
    bool HasFailed() const { return m_File.isOpen() && m_File.error() != QFileDevice::NoError; }
    // Flushes, closes and renames the temporary file to the final name.
    bool Commit();
    // Removes the temporary file; true when there was one and it is gone.
    bool Discard();
    bool IsCommitted() const { return m_bCommitted; }

    QString FinalPath() const { return m_czFinalPath; }
    // The failure as the report messages give it: QFileDevice::error() and text.
    int ErrorNumber() const { return m_eError; }
    QString ErrorText() const { return m_czError; }

private:
    bool Fail(QFileDevice::FileError error, const QString& text);

    // Keeps the system's reason for the first failed write: the buffered
    // file reports a full volume only as a failed write.
    class tyCheckedFile : public QFile
    {
    public:
        int nFirstErrno = 0;

    protected:
        qint64 writeData(const char* data, qint64 size) override;
    };

    QString m_czFinalPath;
    std::unique_ptr<SafeOutput> m_pOutput;
    tyCheckedFile m_File;
    bool m_bCommitted = false;
    QFileDevice::FileError m_eError = QFileDevice::NoError;
    QString m_czError;
};

#endif
