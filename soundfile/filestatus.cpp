#include "soundfile/filestatus.h"

#include "foundation/filekey.h"
#include "foundation/xmlobject.h"
#include "soundfile/ixmlnames.h"
#include "soundfile/soundfile.h"

#include <cstring>

int ComputeFileStatus(const QSoundFile& file)
{
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
    // A loaded file already holds its document (or has adopted its twin's);
    // parsing it again would double the cost of loading a day.
    QString key;
    if (file.IsDocumentFromChunk()) {
        if (file.RootTag() != IxmlNames::kRoot)
            return 5;
        if (!file.HasiXMLOrvexBlock())
            return 6;
        key = file.GetiXMLFileKey();
    } else {
        QXmlObject parsed;
        if (!parsed.SetContent(file.GetiXMLText()) || parsed.RootTag() != IxmlNames::kRoot)
            return 5;
        if (parsed.FindElement({IxmlNames::kOrvex}).isNull())
            return 6;
        key = parsed.GetText({IxmlNames::kOrvex, IxmlNames::kFileKey});
    }
    // A missing key reads as empty, which matches no key.
    if (!FileKeyMatches(key, dataSize, fmt.nSampleRate, fmt.nBitsPerSample, fmt.nChannels))
        return 7;
    return 0;
}
