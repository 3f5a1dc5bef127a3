// iXML chunks are read from files of any origin.
#include "foundation/xmlobject.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QXmlObject xml;
    if (!xml.SetContent(QByteArray(reinterpret_cast<const char*>(data), static_cast<int>(size))))
        return 0;
    xml.GetText({"SCENE"});
    xml.GetText({"ORVEX_BRISEL", "FILE_KEY"});
    const QDomElement list = xml.GetElement({"TRACK_LIST"});
    QXmlObject::FindChildByValue(list, "TRACK", "CHANNEL_INDEX", "1");
    xml.SetText({"ORVEX_BRISEL", "FILE_KEY"}, "0123456789ABCDEF");
    QXmlObject again;
    if (!again.SetContent(xml.ToText()))
        __builtin_trap();
    return 0;
}
