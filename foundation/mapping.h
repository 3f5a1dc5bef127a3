#ifndef NALVO_FOUNDATION_MAPPING_H
#define NALVO_FOUNDATION_MAPPING_H

#include <QHash>
#include <QMetaType>
#include <QString>

// One recorded track's input routing: for each input kind a table from the
// 0-based input index to a value above 0, plus the M/S mid and side flags and
// the mix left and right flags.
//
// Routing text: items "KIND_n=0xV" separated by ",", n 1-based, V hex (or
// decimal). Kinds and their n: MIC 1..8, LINE 1..4, DIGI 1..8, AES42 1..4,
// DANTE 1..64, MIX 1..2, TRACK 1..24, TALK 1..4, POSTFADE 1..24. MIC value 2
// is an M/S mid, 3 an M/S side; MIX 1 is the left and 2 the right mix.
class QMapping
{
public:
    // Error codes of fromString; the last failing item's code is returned.
    enum ParseError {
        NoError = 0,
        ErrNoEquals = 1,
        ErrUnknownKind = 2,
        ErrBadIndex = 3,
        ErrBadValue = 4,
        ErrMicRange = 5,
        ErrLineRange = 6,
        ErrDigiRange = 7,
        ErrAes42Range = 8,
        ErrDanteRange = 9,
        ErrMixRange = 10,
        ErrTrackRange = 11,
        ErrTalkRange = 12,
        ErrPostfadeRange = 13,
    };

    QMapping();

    void clear();
    // Clears, then reads every item of the text it can; the items and flags
    // that parsed stay even when others fail. 0, or the code of the last failure.
    int fromString(const QString& text);
    // The routing text: "KIND_n=0xV," items in kind order, indexes ascending.
    QString toString() const;
    // Short tokens: "MIC_n,", "MS_M_n,", "MS_S_n,", "LINE_n,", "DIGI_n,",
    // "AES42_n,", "DANTE_n,", "MIX_L,", "MIX_R,", "TRACK_n,", "TALK_n,",
    // "POSTFADE_n," (n 1-based), in kind order.
    QString displayString() const;

    // True unless all nine tables are equal; the flags are not compared.
    bool operator!=(const QMapping& other) const;

    // Total number of entries of the nine tables.
    int count() const;

    QHash<int, int> mic() const;
    QHash<int, int> line() const;
    QHash<int, int> digi() const;
    QHash<int, int> aes42() const;
    QHash<int, int> dante() const;
    QHash<int, int> mix() const;
    QHash<int, int> track() const;
    QHash<int, int> talk() const;
    QHash<int, int> postfade() const;

    int hasMic() const;
    int hasLine() const;
    int hasDigi() const;
    int hasAes42() const;
    int hasDante() const;
    int hasMix() const;
    int hasTalk() const;
    int hasPostfade() const;
    bool hasMixLeft() const;
    bool hasMixRight() const;
    // True when either M/S flag is set; writes them through the non-null pointers.
    bool hasMs(bool* mid, bool* side) const;

private:
    enum Kind { Mic, Line, Digi, Aes42, Dante, Mix, Track, Talk, Postfade, KindCount };

    struct tKindRule
    {
        const char* name;
        int maxIndex;
        int rangeError;
    };
    static const tKindRule s_Rules[KindCount];

    // Reads one item; 0 or its error code.
    int ParseItem(const QString& item);

    QHash<int, int> m_Tables[KindCount];
    bool m_bMsMid = false;
    bool m_bMsSide = false;
    bool m_bMixLeft = false;
    bool m_bMixRight = false;
};

Q_DECLARE_METATYPE(QMapping)

#endif
