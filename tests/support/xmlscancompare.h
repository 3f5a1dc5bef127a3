#ifndef NALVO_TESTS_SUPPORT_XMLSCANCOMPARE_H
#define NALVO_TESTS_SUPPORT_XMLSCANCOMPARE_H

#include "foundation/xmlscanindex.h"

#include <QDomElement>
#include <QString>

// Tag and text of one element in both readings; empty when they agree.
inline QString XmlScanElementDifference(const QDomElement& dom, const XmlScanElement& scan, const QString& where)
{
    if (dom.isNull() != scan.isNull())
        return where + QStringLiteral(": present in one reading only");
    if (!dom.isNull()
        && (dom.tagName() != scan.tagName() || dom.text() != scan.text() || dom.text().isNull() != scan.text().isNull()))
        return where + QStringLiteral(": <%1>\"%2\" read as <%3>\"%4\"")
                           .arg(dom.tagName(), dom.text(), scan.tagName(), scan.text());
    return QString();
}

// The first difference between a DOM element and the scan index's reading
// of the same text, walked element by element (tag, text, children, and
// the lookup of each child by its tag); empty when they agree.
inline QString XmlScanDifference(const QDomElement& dom, const XmlScanElement& scan, const QString& where = QString())
{
    const QString here = where + QLatin1Char('/') + dom.tagName();
    QString difference = XmlScanElementDifference(dom, scan, here);
    if (!difference.isEmpty() || dom.isNull())
        return difference;
    QDomElement d = dom.firstChildElement();
    XmlScanElement s = scan.firstChildElement();
    for (; difference.isEmpty() && (!d.isNull() || !s.isNull()); d = d.nextSiblingElement(), s = s.nextSiblingElement()) {
        difference = XmlScanDifference(d, s, here);
        if (difference.isEmpty()) {
            const QString tag = d.tagName();
            difference = XmlScanElementDifference(dom.firstChildElement(tag), scan.firstChildElement(tag), here)
                         + XmlScanElementDifference(d.nextSiblingElement(tag), s.nextSiblingElement(tag), here);
        }
    }
    return difference;
}

#endif
