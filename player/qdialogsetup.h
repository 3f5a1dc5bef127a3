#ifndef NALVO_PLAYER_QDIALOGSETUP_H
#define NALVO_PLAYER_QDIALOGSETUP_H

#include "player/playertypes.h"
#include "player/setupchoices.h"
#include "widgets/qbriselministackmanager.h"

#include <QDialog>
#include <memory>

namespace Ui {
class QDialogSetup;
}
class QBriselMiniStack;

// The keyboard-driven preferences of the meters and the waveform timeline.
// Every confirmed pick is applied at once through signal_ParameterChanged().
class QDialogSetup : public QDialog
{
    Q_OBJECT
public:
    explicit QDialogSetup(QWidget* parent = nullptr);
    ~QDialogSetup() override;

    void SetParameters(tVumeterDisplayPrePostFader prePost, int grid, int blueLine, int yellow, int red,
                       int peakHold, int ballistic, int scale, tPlayWavDisplayMode mode);
    void GetParameters(tVumeterDisplayPrePostFader* prePost, int* grid, int* blueLine, int* yellow, int* red,
                       int* peakHold, int* ballistic, int* scale, tPlayWavDisplayMode* mode) const;

    QBriselMiniStack* Field(tSetupValue which) const;
    QBriselMiniStackManager& Manager() { return m_Manager; }

signals:
    void signal_ParameterChanged();

public slots:
    void slot_UserClickedOk(bool);
    void slot_UserClickedCancel();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void ShowValueLabels();
    void PickValue(QBriselMiniStack* field);

    std::unique_ptr<Ui::QDialogSetup> ui;
    QBriselMiniStackManager m_Manager;
    int m_nValues[SetupValueCount] = {1, 1, 23, 11, 28, 20, 4, 0, 0};
};

#endif
