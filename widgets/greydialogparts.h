#ifndef NALVO_WIDGETS_GREYDIALOGPARTS_H
#define NALVO_WIDGETS_GREYDIALOGPARTS_H

#include <QList>
#include <QString>

class QDialog;
class QFont;
class QFrame;
class QLabel;
class QPushButton;
class QWidget;

// Pieces shared by the forms and the look of the frameless grey dialogs
// (text entry, list choice, text view).
namespace GreyDialogParts {

QFont DejaVuFont(int pointSize);
// The outer frame with its 1-pixel dark border and a spacing-free vertical layout.
QFrame* MakeOuterFrame(QDialog* dialog, const QString& objectName);
// The 25-pixel header by which the user drags the dialog.
QLabel* MakeHeaderLabel(QWidget* parent);
// The bottom bar, 23 to 25 pixels high, with the buttons among spacers.
// With `returnToDialog` the buttons leave Return to the dialog's own keys;
// otherwise the first button is the dialog's default.
QFrame* MakeBottomFrame(QWidget* parent, const QList<QPushButton**>& buttons,
                        const QList<QString>& objectNames, bool returnToDialog);
// Grey look, exact frameless dialog flags, dark header and bottom bar.
void ApplyGreyLook(QDialog* dialog, QWidget* header, QWidget* bottom, const QList<QPushButton*>& buttons);

extern const char* const kBorderlessSheet;

} // namespace GreyDialogParts

#endif
