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
    // A loaded file already holds its document; parsing it again would double
    // the cost of loading a day.
    QXmlObject parsed;
    const QXmlObject* ixml = &file;
    if (!file.IsDocumentFromChunk()) {
        if (!parsed.SetContent(file.GetiXMLText()))
            return 5;
        ixml = &parsed;
    }
    if (ixml->RootTag() != IxmlNames::kRoot)
        return 5;
    if (ixml->FindElement({IxmlNames::kOrvex}).isNull())
        return 6;
    const QDomElement key = ixml->FindElement({IxmlNames::kOrvex, IxmlNames::kFileKey});
    if (key.isNull()
        || !FileKeyMatches(key.text(), dataSize, fmt.nSampleRate, fmt.nBitsPerSample, fmt.nChannels))
        return 7;
    return 0;
}
