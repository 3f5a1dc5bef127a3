#ifndef NALVO_WIDGETS_MESSAGEBOX_H
#define NALVO_WIDGETS_MESSAGEBOX_H

#include <QMessageBox>

// The program's stock message boxes, built here so that each fits its
// screen. A box grows with its text and cannot scroll: a text taller than a
// small screen holds (a list of twenty paths on a 900 x 500 screen) would
// put the box's buttons below the screen. Such a text is cut to its first
// lines, with a last line saying how many more there are, and the whole
// text goes to the box's details, which scroll. Called before the box is
// shown; a box shown by another rule is not fitted again.
void FitMessageBox(QMessageBox* box);

// A modal box as QMessageBox::warning and its kin show it, fitted to the
// screen; details, when given, behind the box's Show Details button.
// Returns the button pressed.
QMessageBox::StandardButton ShowMessageBox(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                                           const QString& text, const QString& details = QString(),
                                           QMessageBox::StandardButtons buttons = QMessageBox::Ok);

#endif
