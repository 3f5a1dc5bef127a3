// M/S to X/Y conversion of a pair of mono track files, in place.
#include "processing/qsoundmixer.h"

#include "foundation/messageloging.h"
#include "foundation/platform/diskprobes.h"
#include "foundation/qpath.h"
#include "foundation/replacejournal.h"
#include "processing/outputset.h"
#include "processing/takeoperation.h"
#include "soundfile/soundfile.h"
#include "take/samplearith.h"
#include "take/takesavejournal.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <vector>

namespace {

const char* const kTitle = "MS to XY";

// One source of the pair, as read before anything is written.
struct tyPairSource {
    QString czPath;
    QString czNewPath;          // "-" turned into "_" in the file name
    QByteArray header;          // every byte before the samples
    qint64 nDataOffset = 0;
    quint32 nDataSize = 0;
    qint64 nFileLength = 0;
    int nBits = 0;
    bool bBext = false;
    bool bFilm = false;
};

bool ReadSource(tyPairSource& source)
{
    QSoundFile file;
    if (!file.Open(source.czPath, 0) || !file.ReadChunks(true, false) || !file.IsLayoutSound()
        || !file.IsIntegerPcm() || file.m_FmtChunk.nChannels != 1
        || (file.m_FmtChunk.nBitsPerSample != 16 && file.m_FmtChunk.nBitsPerSample != 24))
        return false;
    source.nDataOffset = file.m_nDataOffset;
    source.nDataSize = file.m_DataChunk.nSize;
    source.nBits = file.m_FmtChunk.nBitsPerSample;
    source.bBext = file.HasBextChunk();
    source.bFilm = file.HasFilmChunk();
    source.nFileLength = QFileInfo(source.czPath).size();
    source.header.resize(int(source.nDataOffset));
    return file.LectureDataBin(source.header.data(), 0, source.header.size()) == source.header.size();
}

// The file name with "-" as "_"; the folder stays as it is.
QString UnderscoreName(const QString& path)
{
    const QFileInfo info(path);
    return info.absolutePath() + QLatin1Char('/') + info.fileName().replace(QLatin1Char('-'), QLatin1Char('_'));
}

// Copies length bytes of from (at its position) to the output.
bool CopyBytes(QFile& from, SafeOutput& to, qint64 length)
{
    std::vector<char> buffer(size_t(QSoundMixer::kBlockBytes));
    while (length > 0) {
        const qint64 n = qMin<qint64>(length, qint64(buffer.size()));
        if (from.read(buffer.data(), n) != n || !to.Write(buffer.data(), n))
            return false;
        length -= n;
    }
    return true;
}

}  // namespace

bool QSoundMixer::MStoXY(QString mPath, short mIndex, QString sPath, short sIndex)
{
    using takeop::Report;
    tyPairSource m, s;
    m.czPath = QFileInfo(mPath).absoluteFilePath();
    s.czPath = QFileInfo(sPath).absoluteFilePath();
    // A killed conversion may hold M only under its aside name; a killed
    // save may have left the pair half saved: X and Y are made from the
    // sources as they were before it.
    QString why = SettleFailureText(SettleReplacementAlone(ReplaceJournal::PathFor(m.czPath)));
    if (!why.isEmpty() || !RollBackSavesBeforeReplacingAlone({m.czPath, s.czPath}, &why)) {
        Report(kTitle, QStringLiteral("Unable to read/write files!\n%1").arg(why));
        return false;
    }
    if (!ReadSource(m)) {
        Report(kTitle, QStringLiteral("Unable to read/write files (M)!"));
        return false;
    }
    if (!ReadSource(s) || s.czPath == m.czPath) {
        Report(kTitle, QStringLiteral("Unable to read/write files (S)!"));
        return false;
    }
    // X and Y are sample-wise sums of the two: they must match.
    if (m.nBits != s.nBits || m.nDataSize != s.nDataSize) {
        Report(kTitle, QStringLiteral("The files\n%1\n%2\ndiffer in length or sample width: they cannot be converted.")
                           .arg(QDir::toNativeSeparators(m.czPath), QDir::toNativeSeparators(s.czPath)));
        return false;
    }
    m.czNewPath = UnderscoreName(m.czPath);
    s.czNewPath = UnderscoreName(s.czPath);
    for (const tyPairSource* source : {&m, &s}) {
        const bool renamed = source->czNewPath != source->czPath;
        if (renamed && (QFileInfo::exists(source->czNewPath) || source->czNewPath == m.czPath
                        || source->czNewPath == s.czPath)) {
            Report(kTitle, QStringLiteral("Unable to read/write files!\n%1\nexists already.")
                               .arg(QDir::toNativeSeparators(source->czNewPath)));
            return false;
        }
        // The sources are replaced or removed: both must be writable, and their folder.
        if (!IsWritablePath(source->czPath) || !IsWritablePath(QFileInfo(source->czPath).absolutePath())) {
            Report(kTitle, QStringLiteral("Unable to read/write files!\n%1\nis write-protected.")
                               .arg(QDir::toNativeSeparators(source->czPath)));
            return false;
        }
    }

    // The results: the sources' bytes with the samples replaced, under
    // hidden temporary names beside them.
    OutputSet outputs(QStringLiteral("conversion"));
    SafeOutput& plus = outputs.Add(m.czNewPath, SafeOutput::Replace::Existing);
    SafeOutput& moins = outputs.Add(s.czNewPath, SafeOutput::Replace::Existing);
    // The sources whose names change go with the same step, once both results are in place.
    for (const tyPairSource* source : {&m, &s}) {
        if (source->czNewPath != source->czPath)
            outputs.Retire(source->czPath);
    }
    if (!plus.Begin(m.nFileLength)) {
        Report(kTitle, QStringLiteral("Unable to read/write files!"));
        return false;
    }
    if (!moins.Begin(s.nFileLength)) {
        Report(kTitle, QStringLiteral("Unable to read/write files (Moins)!"));
        return false;
    }
    QFile mFile(m.czPath), sFile(s.czPath);
    if (!mFile.open(QIODevice::ReadOnly)) {
        Report(kTitle, QStringLiteral("Unable to read/write files (M)!"));
        return false;
    }
    if (!sFile.open(QIODevice::ReadOnly)) {
        Report(kTitle, QStringLiteral("Unable to read/write files (S)!"));
        return false;
    }
    const QString writeFailed = QStringLiteral("Unable to read/write files!\nThe files were left as they were.");
    if (!plus.Write(m.header.constData(), m.header.size()) || !moins.Write(s.header.constData(), s.header.size())
        || !mFile.seek(m.nDataOffset) || !sFile.seek(s.nDataOffset)) {
        Report(kTitle, writeFailed);
        return false;
    }

    const int width = m.nBits / 8;
    std::vector<unsigned char> mBlock(static_cast<size_t>(kBlockBytes)), sBlock(static_cast<size_t>(kBlockBytes));
    std::vector<unsigned char> xBlock(static_cast<size_t>(kBlockBytes)), yBlock(static_cast<size_t>(kBlockBytes));
    const int maxValue = width == 2 ? 32767 : 8388607;
    const int minValue = -maxValue - 1;
    for (qint64 done = 0; done < qint64(m.nDataSize);) {
        const int n = int(qMin<qint64>(kBlockBytes, qint64(m.nDataSize) - done));
        if (mFile.read(reinterpret_cast<char*>(mBlock.data()), n) != n
            || sFile.read(reinterpret_cast<char*>(sBlock.data()), n) != n) {
            Report(kTitle, writeFailed);
            return false;
        }
        for (int i = 0; i + width <= n; i += width) {
            const int mid = pcm::DecodeSample(mBlock.data() + i, width);
            const int side = pcm::DecodeSample(sBlock.data() + i, width);
            pcm::EncodeSample(qBound(minValue, mid + side, maxValue), xBlock.data() + i, width);
            pcm::EncodeSample(qBound(minValue, mid - side, maxValue), yBlock.data() + i, width);
        }
        // A byte past the last whole sample is copied as it was.
        for (int i = n / width * width; i < n; ++i) {
            xBlock[size_t(i)] = mBlock[size_t(i)];
            yBlock[size_t(i)] = sBlock[size_t(i)];
        }
        if (!plus.Write(reinterpret_cast<const char*>(xBlock.data()), n)
            || !moins.Write(reinterpret_cast<const char*>(yBlock.data()), n)) {
            Report(kTitle, writeFailed);
            return false;
        }
        done += n;
    }
    // Whatever follows the samples (waveform, iXML) stays as it was, so the
    // headers' sizes stay true.
    if (!CopyBytes(mFile, plus, m.nFileLength - m.nDataOffset - m.nDataSize)
        || !CopyBytes(sFile, moins, s.nFileLength - s.nDataOffset - s.nDataSize) || !outputs.CloseAll()) {
        Report(kTitle, writeFailed);
        return false;
    }
    mFile.close();
    sFile.close();

    // The film name and the type on the temporaries, before they take their names.
    const struct {
        SafeOutput* output;
        const tyPairSource* source;
        short index;
    } results[] = {{&plus, &m, mIndex}, {&moins, &s, sIndex}};
    for (const auto& result : results) {
        QSoundFile file;
        bool written = file.Open(result.output->TemporaryPath(), 2) && file.ReadChunks(false, true);
        const QPath name(result.source->czNewPath);
        if (written && file.HasFilmChunk())
            written = file.InsertInFilmNetFileName(QStringLiteral("%1%2%3.%4")
                                                       .arg(name.GetRoot().left(6), name.GetSeparator(),
                                                            QString::number(result.index + 1),
                                                            name.GetExtension()));
        if (written && file.HasBextChunk())
            written = file.InsertInBextDescrType(QStringLiteral("xy  "));
        written = file.CloseWritten() == 0 && written;
        if (!written) {
            Report(kTitle, writeFailed);
            return false;
        }
    }
    if (!IsWritablePath(QFileInfo(m.czPath).absolutePath()) || !outputs.CommitAll(m_bSyncOutput)) {
        // The commit's reason, where it has one (a left save, the record),
        // and what the files hold: as before, or the record's to settle.
        const QString head = outputs.FilesAsBefore() ? writeFailed : QStringLiteral("Unable to read/write files!");
        Report(kTitle, outputs.ErrorText().isEmpty() ? head : head + QLatin1Char('\n') + outputs.ErrorText());
        MyQDebug("%s: %s", kTitle, qPrintable(outputs.ErrorText()));
        return false;
    }
    for (const tyPairSource* source : {&m, &s}) {
        if (QFileInfo::exists(source->czPath) && source->czNewPath != source->czPath)
            MyQDebug("%s: %s could not be removed", kTitle, qPrintable(source->czPath));
    }
    return true;
}
