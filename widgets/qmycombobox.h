#ifndef NALVO_WIDGETS_QMYCOMBOBOX_H
#define NALVO_WIDGETS_QMYCOMBOBOX_H

#include <QComboBox>

// A combo box with the "Windows" widget style on every platform, so it looks
// the same in the dark form wherever it runs.
class QMyComboBox : public QComboBox
{
public:
    explicit QMyComboBox(QWidget* parent = nullptr);
    ~QMyComboBox() override;
};

#endif
