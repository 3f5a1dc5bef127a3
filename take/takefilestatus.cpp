#include "take/takefilestatus.h"

#include "foundation/filekey.h"
#include "soundfile/filestatus.h"
#include "soundfile/soundfile.h"

#include <cstring>

int TakeFileStatus(const QSoundFile& file)
{
    // Without a document (no iXML, or it did not parse) the full check runs.
    if (!file.XmlOk())
        return ComputeFileStatus(file);
    const tyRiffLayout& layout = file.GetLayout();
    const tyFmtChunk& fmt = file.m_FmtChunk;
    if (!layout.bRiffWave || fmt.szId[0] == 0 || file.m_DataChunk.szId[0] == 0 || fmt.nFormatTag != 1
        || (fmt.nBitsPerSample != 16 && fmt.nBitsPerSample != 24) || fmt.nChannels == 0)
        return 1;
    if (!file.HasBextChunk())
        return 2;
    if (std::strncmp(file.m_BextChunk.szOriginatorReference, "ORVEX", 5) != 0)
        return 3;
    const quint32 dataSize = file.GetDeclaredDataSize();
    if (!file.HasiXMLChunk() || !layout.RiffSizeMatches() || !file.IsLayoutSound() || dataSize == 0
        || dataSize == 0xFFFFFFFFu || file.m_DataChunk.nSize != dataSize)
        return 8;
    if (!file.HasiXMLOrvexBlock())
        return 6;
    if (!FileKeyMatches(file.GetiXMLFileKey(), dataSize, fmt.nSampleRate, fmt.nBitsPerSample, fmt.nChannels))
        return 7;
    return 0;
}
