#ifndef NALVO_FILEPROCESS_DIALOGLOOK_H
#define NALVO_FILEPROCESS_DIALOGLOOK_H

class QDialog;

// The dark look shared by the process and import dialogs: light text on a
// dark face, greyed text for what cannot be used, so the take rows' white
// names stay readable on both row shades.
void ApplyProcessDialogLook(QDialog* dialog);

#endif
