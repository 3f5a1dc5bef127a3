// iXML chunks are read from files of any origin. A text the scan index
// takes must parse, and read through the index as through its DOM.
#include "foundation/xmlobject.h"
#include "tests/support/xmlscancompare.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<int>(size));
    XmlScanIndex index;
    const bool indexed = index.Build(bytes);
    QXmlObject xml;
    if (!xml.SetContent(bytes)) {
        if (indexed)
            __builtin_trap();
        return 0;
    }
    if (indexed && !XmlScanDifference(xml.Root(), index.Root()).isEmpty())
        __builtin_trap();
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
