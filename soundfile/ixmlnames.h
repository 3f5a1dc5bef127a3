#ifndef NALVO_SOUNDFILE_IXMLNAMES_H
#define NALVO_SOUNDFILE_IXMLNAMES_H

#include <QString>

// Element names of the iXML document and of the maker block.
namespace IxmlNames {

inline const QString kRoot = QStringLiteral("BWFXML");
inline const QString kVersion = QStringLiteral("IXML_VERSION");
inline const QString kScene = QStringLiteral("SCENE");
inline const QString kTake = QStringLiteral("TAKE");
inline const QString kTape = QStringLiteral("TAPE");
inline const QString kUbits = QStringLiteral("UBITS");
inline const QString kNote = QStringLiteral("NOTE");
inline const QString kCircled = QStringLiteral("CIRCLED");
inline const QString kTakeType = QStringLiteral("TAKE_TYPE");
inline const QString kFileSet = QStringLiteral("FILE_SET");
inline const QString kTotalFiles = QStringLiteral("TOTAL_FILES");
inline const QString kFamilyName = QStringLiteral("FAMILY_NAME");
inline const QString kTrackList = QStringLiteral("TRACK_LIST");
inline const QString kTrackCount = QStringLiteral("TRACK_COUNT");
inline const QString kTrack = QStringLiteral("TRACK");
inline const QString kChannelIndex = QStringLiteral("CHANNEL_INDEX");
inline const QString kInterleaveIndex = QStringLiteral("INTERLEAVE_INDEX");
inline const QString kName = QStringLiteral("NAME");
inline const QString kFunction = QStringLiteral("FUNCTION");
inline const QString kSyncPointList = QStringLiteral("SYNC_POINT_LIST");
inline const QString kSyncPointCount = QStringLiteral("SYNC_POINT_COUNT");
inline const QString kSyncPoint = QStringLiteral("SYNC_POINT");
inline const QString kSyncPointType = QStringLiteral("SYNC_POINT_TYPE");
inline const QString kSyncPointFunction = QStringLiteral("SYNC_POINT_FUNCTION");
inline const QString kSyncPointComment = QStringLiteral("SYNC_POINT_COMMENT");
inline const QString kSyncPointLow = QStringLiteral("SYNC_POINT_LOW");
inline const QString kSyncPointHigh = QStringLiteral("SYNC_POINT_HIGH");
inline const QString kSyncPointDuration = QStringLiteral("SYNC_POINT_EVENT_DURATION");

inline const QString kOrvex = QStringLiteral("ORVEX_BRISEL");
inline const QString kScTkTemplate = QStringLiteral("SCTK_TEMPLATE");
inline const QString kScTkAdvanced = QStringLiteral("SCTK_ADVANCED");
inline const QString kRefLevel = QStringLiteral("REF_LEVEL");
inline const QString kAllTrkName = QStringLiteral("ALL_TRK_NAME");
inline const QString kData = QStringLiteral("DATA");
inline const QString kIndice = QStringLiteral("INDICE");
inline const QString kActive = QStringLiteral("ACTIVE");
inline const QString kInGrid = QStringLiteral("IN_GRID");
inline const QString kPanPot = QStringLiteral("PAN_POT");
inline const QString kInputSettings = QStringLiteral("INPUT_SETTINGS");
inline const QString kDelay = QStringLiteral("DELAY");
inline const QString kPhase = QStringLiteral("PHASE");
inline const QString kEq = QStringLiteral("EQ");
inline const QString kFilter = QStringLiteral("FILTER");
inline const QString kFileKey = QStringLiteral("FILE_KEY");

// Advanced scene/take fields by code (1..6); separators are SEP1, SEP2 ...
QString AdvancedFieldTag(int code);
// Code of an advanced field tag: 1..6, separator n gives 1 - n; false when unknown.
bool AdvancedFieldCode(const QString& tag, int* code);

// Take indicator letter <-> TAKE_TYPE value.
QString TakeTypeOfLetter(const QString& letter);
QString LetterOfTakeType(const QString& takeType);

} // namespace IxmlNames

#endif
