#ifndef NALVO_WIDGETS_CLICKFOCUS_H
#define NALVO_WIDGETS_CLICKFOCUS_H

class QWidget;

// A window that handles keys of its own (arrows, Space) keeps them after a
// click anywhere but in a text field: each other control the window holds
// now takes the focus by Tab only, so that a click on it, or on a disabled
// field, leaves the focus with the window (the nearest ancestor that takes
// it from a click), and a click on a button moves it there from a field.
// Text fields (line edits, spin boxes, text areas, editable combo boxes)
// take the focus from a click as before; the window's dialogs, windows of
// their own, are left as they are.
void LeaveKeysWithWindowOnClick(QWidget* window);

#endif
