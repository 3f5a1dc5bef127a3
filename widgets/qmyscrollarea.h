#ifndef NALVO_WIDGETS_QMYSCROLLAREA_H
#define NALVO_WIDGETS_QMYSCROLLAREA_H

#include <QScrollArea>

// A scroll area that leaves the arrow keys to its parent, whose own
// keyboard navigation needs them.
class QMyScrollArea : public QScrollArea
{
public:
    explicit QMyScrollArea(QWidget* parent = nullptr);
    ~QMyScrollArea() override;

protected:
    void keyPressEvent(QKeyEvent* e) override;
};

#endif
