#ifndef NALVO_FOUNDATION_XMLOBJECT_H
#define NALVO_FOUNDATION_XMLOBJECT_H

#include "foundation/xmlscanindex.h"

#include <QByteArray>
#include <QDomDocument>
#include <QDomElement>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <memory>

// An XML document (the iXML of a sound file). Elements are addressed by the
// list of tag names below the root, e.g. {"TRACK_LIST", "TRACK", "NAME"}:
// the first matching child at every level.
class QXmlObject
{
public:
    QXmlObject();
    virtual ~QXmlObject();

    // Parses the bytes; trailing NULs and blanks (chunk padding) are ignored.
    // A text in UTF-16 is read as its UTF-8 form (XmlTextInUtf8). False,
    // with no document held, when they do not parse or nest elements deeper
    // than 64 levels.
    bool SetContent(const QByteArray& bytes);
    // Starts an empty document whose root element has the given tag.
    void NewDocument(const QString& rootTag);
    void ClearDocument();
    // Holds bytes known to parse to a document with the given root (they
    // equal an already parsed twin but for one well-formed element): XmlOk()
    // is true at once and the DOM is built at its first use. A day of mono
    // takes holds thousands of such documents that are never read.
    // Not thread-safe even for const use until the document is built.
    void SetContentDeferred(const QByteArray& bytes, const QString& rootTag);
    // The deferred bytes have not been parsed yet.
    bool IsDeferred() const { return !m_baDeferred.isEmpty(); }
    // Like SetContent, for a document that is mostly read: when the scan
    // index can answer for the text, it is indexed and the DOM is built at
    // its first use (a setter, a save, a DOM node asked for); Read() answers
    // from the index meanwhile. Any other text is parsed at once.
    // Not thread-safe even for const use until the document is built.
    bool SetContentIndexed(const QByteArray& bytes);
    // The document is answered from its scan index, not yet built.
    bool IsIndexed() const { return m_pIndex != nullptr; }

    // Calls read with the root element, of the scan index while the document
    // is indexed, of the DOM otherwise (null when no document is held): a
    // reader written for both gets the same values either way.
    template <typename Reader>
    auto Read(Reader read) const
    {
        if (m_pIndex && m_lPendingTexts.isEmpty())
            return read(m_pIndex->Root());
        return read(Root());
    }

    // True while a parsed (or new) document is held.
    bool XmlOk() const;
    QString RootTag() const;
    // The parser's message of the last failed SetContent.
    QString LastXmlError() const;

    QDomDocument& Document();
    const QDomDocument& Document() const;
    QDomElement Root() const;

    // The element at the path; with create, missing levels are appended.
    // A null element when absent (or when no document is held).
    QDomElement GetElement(const QStringList& path, bool create = false);
    QDomElement FindElement(const QStringList& path) const;
    // The text of the element, empty when absent.
    QString GetText(const QStringList& path) const;
    bool HasElement(const QStringList& path) const;
    // Sets the element's text, creating the element (and its ancestors)
    // when missing. False when no document is held. An indexed document
    // stays unbuilt: the texts are applied when it is built.
    bool SetText(const QStringList& path, const QString& text);
    // Sets the text of a direct child of parent, creating it when missing.
    QDomElement SetChildText(QDomElement parent, const QString& tag, const QString& text);

    // Among parent's children named childTag, the first whose child element
    // tag has the text value (compared after trimming).
    // (For a QDomElement or an XmlScanElement alike, as Below.)
    template <typename Element>
    static Element FindChildByValue(const Element& parent, const QString& childTag, const QString& tag,
                                    const QString& value)
    {
        const QString wanted = value.trimmed();
        for (Element child = parent.firstChildElement(childTag); !child.isNull();
             child = child.nextSiblingElement(childTag)) {
            if (child.firstChildElement(tag).text().trimmed() == wanted)
                return child;
        }
        return Element();
    }
    template <typename Element>
    static QString ChildText(const Element& parent, const QString& tag)
    {
        return parent.isNull() ? QString() : parent.firstChildElement(tag).text();
    }
    // The element at the path below element, as FindElement finds it.
    template <typename Element>
    static Element Below(Element element, const QStringList& path)
    {
        for (const QString& tag : path) {
            if (element.isNull())
                break;
            element = element.firstChildElement(tag);
        }
        return element;
    }

    // The document as UTF-8 text with an XML declaration.
    QByteArray ToText() const;
    // other's ToText(), made from text (this document's ToText()) without
    // serialising other: when the two documents differ only in the texts of
    // the leaf children of the element at path, those texts are put in
    // place. False when they differ otherwise, or a text would need
    // escaping: then the caller serialises other itself.
    bool SpliceText(const QByteArray& text, const QXmlObject& other, const QStringList& path,
                    QByteArray* result) const;
    // Like SpliceText, for another document known to equal this one outside
    // the element at path, whose leaf children there are theirs (tag, text)
    // in order: false when the element's children are not such leaves with
    // the same tags and the same presence of text, or a text would need
    // escaping.
    // place, when given, keeps what the first call found of the element in
    // this document and in text (its leaves, and where their texts stand)
    // for later calls with the same text and path: splicing the same
    // element of many documents finds it once. An indexed document answers
    // from its index where the texts set since leave the element and every
    // element's place alone, without being built.
    struct tyLeafSplicePlace {
        struct tyLeaf {
            QString czTag;
            QString czText;         // this document's
            bool bHasText = false;
            int nTextAt = -1;       // where text writes it plainly; -1: it does not
            int nTextBytes = 0;
        };
        int nFound = 0;             // 0 not looked for yet, 1 found, -1 cannot be spliced
        QList<tyLeaf> lLeaves;
    };
    bool SpliceLeafTexts(const QByteArray& text, const QStringList& path,
                         const QList<QPair<QString, QString>>& theirs, QByteArray* result,
                         tyLeafSplicePlace* place = nullptr) const;

protected:
    // Called once deferred bytes have been built into the document.
    virtual void DocumentBuilt() {}

private:
    // Parses deferred bytes into the document, once.
    void Materialize() const;

    mutable QDomDocument m_Document;
    mutable bool m_bXmlOk = false;
    mutable QString m_czXmlError;
    mutable QByteArray m_baDeferred;
    QString m_czDeferredRoot;
    // While indexed: answers reads until the deferred bytes are built.
    mutable std::unique_ptr<XmlScanIndex> m_pIndex;
    // SetText's (path, text) while indexed, in order.
    mutable QList<QPair<QStringList, QString>> m_lPendingTexts;
    // The parsed text's document type as it stands there (UTF-8), written
    // back by ToText; empty without one.
    QByteArray m_baDoctype;
};

#endif
