#ifndef NALVO_BROWSER_FSITEMTYPE_H
#define NALVO_BROWSER_FSITEMTYPE_H

#include <Qt>

// The recorder meaning of a browser node; also the value of FSItemTypeRole.
// 3 and 7 are never assigned.
enum tFSItemType : int {
    FSITEM_PLAIN = 0,
    FSITEM_PROJECT = 1,
    FSITEM_DAY = 2,
    FSITEM_MONO = 4,
    FSITEM_MIX = 5,
    FSITEM_POLY = 6,
    FSITEM_VOLUME = 8
};

// Data roles of the browser model, read by the proxy and the main window.
enum tFSItemRole : int {
    FSItemTypeRole = Qt::UserRole + 100,
    FSFilePathRole,
    FSPreProjectRole,
    FSProjectRole,
    FSDayRole,
    FSTakePathRole,
    FSTemplateRole,
    FSAdvTemplateRole
};

#endif
