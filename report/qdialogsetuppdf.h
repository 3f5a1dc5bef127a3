#ifndef NALVO_REPORT_QDIALOGSETUPPDF_H
#define NALVO_REPORT_QDIALOGSETUPPDF_H

#include "report/reportlayout.h"
#include "widgets/qbriselministackmanager.h"

#include <QDialog>
#include <memory>

namespace Ui {
class QDialogSetupPdf;
}
class QBriselMiniStack;

// The keyboard-first report setup: report kinds, ALE and page settings,
// data lines, note line, circle display, and the header and data layout
// grids. The main window keeps one, pushes the stored setup in through the
// setters and reads it back through the getters after every run (each run
// ends with 0). Nothing is written to disk here.
class QDialogSetupPdf : public QDialog
{
    Q_OBJECT
public:
    // Navigator order of the five fields.
    enum tField : int { FieldHeader = 0, FieldLines = 1, FieldNote = 2, FieldCircle = 3, FieldData = 4 };

    explicit QDialogSetupPdf(QWidget* parent = nullptr);
    ~QDialogSetupPdf() override;

    void GetReportGeneration(int* kinds) const;
    void GetAleSetup(int* fps, int* videoFormat) const;
    void GetPdfPageFormat(tyReportPageFormat* format) const;
    void GetDataSetup(int* nbLines, bool* noteLine, tReportCircleDisplay* circle, tyReportBlock* lines,
                      int lineCount, int cellsPerLine) const;
    void GetHeaderSetup(tyReportBlock* lines, int lineCount, int cellsPerLine) const;
    void checkHighlight();

    Ui::QDialogSetupPdf* Form() const { return ui.get(); }
    QBriselMiniStack* Field(int index) const { return m_pFields[index]; }
    // Index of the selected field, -1 when none.
    int SelectedField() const;

public slots:
    void slot_ReportSetupDataDisplayCircle(tReportCircleDisplay circle);
    void slot_ReportSetupDataNbLine(int lines);
    void slot_ReportSetupDataNoteLine(bool on);
    void slot_ReportSetupFormat(tyReportPageFormat format);
    void slot_ReportSetupType(int kinds);
    void slot_ReportSetupAle(int fps, int videoFormat);
    void slot_ReportSetupHeaderLine(int line, tyReportBlock* cells);
    void slot_ReportSetupDataLine(int line, tyReportBlock* cells);
    void slot_UserClickedOk(bool open);
    void slot_UserClickedCancel();
    void slot_MouseClicked(QWidget* grid);
    void slot_MouseDoubleClicked(QWidget* grid);
    void slot_finished(int result);
    void slot_AleToggled(bool on);
    void slot_CsvToggled(bool on);
    void slot_PdfToggled(bool on);
    void slot_AleFpsChanged(int index);
    void slot_AleVideoFormatChanged(int index);
    void slot_ReportPageFormatChanged(int index);
    void updateLabelsText();

protected:
    bool event(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    // Runs a pick-from-list beside a field; the chosen row or -1.
    int Pick(QBriselMiniStack* field, const QString& title, const QStringList& rows, int current);
    // The last checked kind cannot be cleared: warn and check it again.
    bool KeepOneKind(bool on);
    bool GridHasFocus() const;

    int m_nDataNbLine = 1;
    bool m_bNoteLine = false;
    int m_nAleFps = 0;
    int m_nAleVideoFormat = 1;
    tyReportPageFormat m_nPageFormat = PageFormatA4Landscape;
    tReportCircleDisplay m_nCircleDisplay = CircleDisplayTake;
    std::unique_ptr<Ui::QDialogSetupPdf> ui;
    QBriselMiniStackManager m_Navigator;
    QBriselMiniStack* m_pFields[5] = {};
};

#endif
