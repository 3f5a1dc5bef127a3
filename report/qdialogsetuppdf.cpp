#include "report/qdialogsetuppdf.h"

#include "ui_qdialogsetuppdf.h"

#include "foundation/fonts.h"
#include "foundation/messageloging.h"
#include "widgets/messagebox.h"
#include "widgets/qbriselministack.h"
#include "widgets/qdialogmessageliste.h"
#include "widgets/screenfit.h"

#include <QKeyEvent>
#include <QMessageBox>

namespace {
const char* const kCircleTexts[3] = {"OFF", "TAKE", "FILETAG"};

// Arrow steps through the navigator for Up (left steps) and Down (right
// steps) from each field: the header grid above the three fields, the data
// grid below them.
const int kUpSteps[5] = {0, 1, 2, 3, 3};
const int kDownSteps[5] = {1, 3, 2, 1, 0};
}  // namespace

QDialogSetupPdf::QDialogSetupPdf(QWidget* parent) : QDialog(parent), ui(new Ui::QDialogSetupPdf), m_Navigator(this)
{
    KeepOnScreen(this);
    ui->setupUi(this);
    InitFontSize(this);
    setFocusPolicy(Qt::StrongFocus);
    for (QColorLabel* label : {ui->m_CtrlLabelTitle_Bottom, ui->m_CtrlLabelTitle_Label_1,
                               ui->m_CtrlLabelTitle_Label_2, ui->m_CtrlLabelTitle_Label_3})
        label->setTextColor(Qt::white);

    m_pFields[FieldHeader] = ui->m_CtrlMiniStack_SetupReport_EditHeader;
    m_pFields[FieldLines] = ui->m_CtrlMiniStack_SetupReport_DataNbLines;
    m_pFields[FieldNote] = ui->m_CtrlMiniStack_SetupReport_NoteLine;
    m_pFields[FieldCircle] = ui->m_CtrlMiniStack_SetupReport_Circle;
    m_pFields[FieldData] = ui->m_CtrlMiniStack_SetupReport_EditData;
    const char* const texts[5] = {"Edit (F4)", "1", "ON", "OFF", "Edit (F6)"};
    for (int i = 0; i < 5; ++i) {
        m_pFields[i]->SetupTextOnly(QString::fromLatin1(texts[i]), Qt::AlignLeft | Qt::AlignVCenter);
        m_pFields[i]->SwitchStateTo(QBriselMiniStack::MINISTACK_OFF);
    }
    m_pFields[FieldHeader]->hide();
    m_pFields[FieldData]->hide();
    for (QBriselMiniStack* field : m_pFields)
        m_Navigator.InsertItem(field);
    m_Navigator.MiniStackFieldManager(1);

    connect(&m_Navigator, &QBriselMiniStackManager::signal_UserClickedOk, this, &QDialogSetupPdf::slot_UserClickedOk);
    connect(&m_Navigator, &QBriselMiniStackManager::signal_UserClickedCancel, this,
            &QDialogSetupPdf::slot_UserClickedCancel);
    QReportHeaderSetup* header = ui->m_CtrlWidget_Header;
    QReportDataSetup* data = ui->m_CtrlWidget_Data;
    connect(data, &QReportDataSetup::signal_done, this, &QDialogSetupPdf::updateLabelsText);
    connect(header, &QReportHeaderSetup::signal_done, this, &QDialogSetupPdf::updateLabelsText);
    connect(data, &QReportDataSetup::signal_MouseClicked, this, [this, data] { slot_MouseClicked(data); });
    connect(header, &QReportHeaderSetup::signal_MouseClicked, this, [this, header] { slot_MouseClicked(header); });
    connect(data, &QReportDataSetup::signal_MouseDoubleClicked, this,
            [this, data] { slot_MouseDoubleClicked(data); });
    connect(header, &QReportHeaderSetup::signal_MouseDoubleClicked, this,
            [this, header] { slot_MouseDoubleClicked(header); });
    connect(this, &QDialog::finished, this, &QDialogSetupPdf::slot_finished);
    connect(ui->m_CtrlCheckBox_Ale, &QCheckBox::toggled, this, &QDialogSetupPdf::slot_AleToggled);
    connect(ui->m_CtrlCheckBox_Csv, &QCheckBox::toggled, this, &QDialogSetupPdf::slot_CsvToggled);
    connect(ui->m_CtrlCheckBox_Pdf, &QCheckBox::toggled, this, &QDialogSetupPdf::slot_PdfToggled);

    for (QWidget* w : std::initializer_list<QWidget*>{ui->m_CtrlComboBox_FPS, ui->m_CtrlComboBox_VideoFormat,
                                                      ui->m_CtrlLabel_AleFps, ui->m_CtrlLabel_AleVideoFormat,
                                                      ui->m_CtrlComboBox_PdfFormat, ui->m_CtrlLabel_PdfFormat})
        w->setEnabled(false);
    for (const tyIndexedText& row : AleFpsTable)
        ui->m_CtrlComboBox_FPS->addItem(QString::fromLatin1(row.pcText));
    for (const tyIndexedText& row : AleVideoFormatTable)
        ui->m_CtrlComboBox_VideoFormat->addItem(QString::fromLatin1(row.pcText));
    for (const char* label : PageFormatLabels)
        ui->m_CtrlComboBox_PdfFormat->addItem(QString::fromLatin1(label));
    connect(ui->m_CtrlComboBox_FPS, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &QDialogSetupPdf::slot_AleFpsChanged);
    connect(ui->m_CtrlComboBox_VideoFormat, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &QDialogSetupPdf::slot_AleVideoFormatChanged);
    connect(ui->m_CtrlComboBox_PdfFormat, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &QDialogSetupPdf::slot_ReportPageFormatChanged);
    checkHighlight();
}

QDialogSetupPdf::~QDialogSetupPdf() = default;

void QDialogSetupPdf::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    // The dialog opens on its navigation, not inside the first check box,
    // which would keep the arrows to itself.
    if (!GridHasFocus())
        setFocus(Qt::OtherFocusReason);
}

bool QDialogSetupPdf::event(QEvent* e)
{
    return QDialog::event(e);
}

int QDialogSetupPdf::SelectedField() const
{
    QBriselMiniStack* selected = nullptr;
    if (m_Navigator.GetSelectedMiniStackField(&selected) != 0)
        return -1;
    for (int i = 0; i < 5; ++i)
        if (m_pFields[i] == selected)
            return i;
    return -1;
}

bool QDialogSetupPdf::GridHasFocus() const
{
    return ui->m_CtrlWidget_Header->hasFocus() || ui->m_CtrlWidget_Data->hasFocus();
}

void QDialogSetupPdf::slot_ReportSetupDataDisplayCircle(tReportCircleDisplay circle)
{
    m_nCircleDisplay = circle;
    if (circle >= 0 && circle <= 2)
        m_pFields[FieldCircle]->SetupTextOnly(QString::fromLatin1(kCircleTexts[circle]),
                                              Qt::AlignLeft | Qt::AlignVCenter);
}

void QDialogSetupPdf::slot_ReportSetupDataNbLine(int lines)
{
    m_nDataNbLine = lines;
    ui->m_CtrlWidget_Data->setNbLine(lines);
    m_pFields[FieldLines]->SetupTextOnly(QString::number(lines), Qt::AlignLeft | Qt::AlignVCenter);
}

void QDialogSetupPdf::slot_ReportSetupDataNoteLine(bool on)
{
    m_bNoteLine = on;
    ui->m_CtrlWidget_Data->setNoteLine(on);
    m_pFields[FieldNote]->SetupTextOnly(on ? QStringLiteral("ON") : QStringLiteral("OFF"),
                                        Qt::AlignLeft | Qt::AlignVCenter);
}

void QDialogSetupPdf::slot_ReportSetupFormat(tyReportPageFormat format)
{
    m_nPageFormat = format;
    if (format >= 0 && format <= 1)
        ui->m_CtrlComboBox_PdfFormat->setCurrentIndex(format);
}

void QDialogSetupPdf::slot_ReportSetupType(int kinds)
{
    ui->m_CtrlCheckBox_Pdf->setChecked(kinds & 0x1);
    ui->m_CtrlCheckBox_Csv->setChecked(kinds & 0x4);
    ui->m_CtrlCheckBox_Ale->setChecked(kinds & 0x2);
}

void QDialogSetupPdf::slot_ReportSetupAle(int fps, int videoFormat)
{
    m_nAleFps = fps;
    m_nAleVideoFormat = videoFormat;
    if (fps >= 0 && fps <= 5)
        ui->m_CtrlComboBox_FPS->setCurrentIndex(fps);
    if (videoFormat >= 0 && videoFormat <= 5)
        ui->m_CtrlComboBox_VideoFormat->setCurrentIndex(videoFormat);
    // A code outside the tables stays as given, whatever the combos show.
    m_nAleFps = fps;
    m_nAleVideoFormat = videoFormat;
}

void QDialogSetupPdf::slot_ReportSetupHeaderLine(int line, tyReportBlock* cells)
{
    ui->m_CtrlWidget_Header->setLineHeader(line, cells);
}

void QDialogSetupPdf::slot_ReportSetupDataLine(int line, tyReportBlock* cells)
{
    ui->m_CtrlWidget_Data->setLineData(line, cells);
}

void QDialogSetupPdf::GetReportGeneration(int* kinds) const
{
    if (!kinds)
        return;
    *kinds = (ui->m_CtrlCheckBox_Ale->isChecked() ? 0x2 : 0) | (ui->m_CtrlCheckBox_Csv->isChecked() ? 0x4 : 0) |
             (ui->m_CtrlCheckBox_Pdf->isChecked() ? 0x1 : 0);
}

void QDialogSetupPdf::GetAleSetup(int* fps, int* videoFormat) const
{
    if (fps)
        *fps = m_nAleFps;
    if (videoFormat)
        *videoFormat = m_nAleVideoFormat;
}

void QDialogSetupPdf::GetPdfPageFormat(tyReportPageFormat* format) const
{
    if (format)
        *format = m_nPageFormat;
}

void QDialogSetupPdf::GetDataSetup(int* nbLines, bool* noteLine, tReportCircleDisplay* circle, tyReportBlock* lines,
                                   int lineCount, int cellsPerLine) const
{
    if (nbLines)
        *nbLines = m_nDataNbLine;
    if (noteLine)
        *noteLine = m_bNoteLine;
    if (circle)
        *circle = m_nCircleDisplay;
    if (!lines || lineCount < 1)
        return;
    for (int line = 0; line < qMin(lineCount, int(ReportLayout::kDataLines)); ++line)
        ui->m_CtrlWidget_Data->GetLineData(line, lines + line * cellsPerLine, cellsPerLine);
}

void QDialogSetupPdf::GetHeaderSetup(tyReportBlock* lines, int lineCount, int cellsPerLine) const
{
    if (!lines)
        return;
    for (int line = 0; line < qMin(lineCount, int(ReportLayout::kHeaderLines)); ++line)
        ui->m_CtrlWidget_Header->GetLineHeader(line, lines + line * cellsPerLine, cellsPerLine);
}

void QDialogSetupPdf::keyPressEvent(QKeyEvent* e)
{
    MyQDebug("QDialogSetupPdf key:0x%X (%d) mod : 0x%X (%d) scancode 0x%X (%d) nativeVirtualKey 0x%X (%d)", e->key(),
             e->key(), unsigned(e->modifiers()), int(e->modifiers()), e->nativeScanCode(), e->nativeScanCode(),
             e->nativeVirtualKey(), e->nativeVirtualKey());
    const bool boxFocus = ui->m_CtrlCheckBox_Pdf->hasFocus() || ui->m_CtrlCheckBox_Csv->hasFocus() ||
                          ui->m_CtrlCheckBox_Ale->hasFocus();
    const int selected = SelectedField();
    switch (e->key()) {
    case Qt::Key_Escape:
        done(0);
        e->ignore();
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        slot_UserClickedOk(true);
        break;
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
        if (!boxFocus && selected >= 0) {
            if (e->key() == Qt::Key_Left)
                m_Navigator.MiniStackMoveLeft();
            else if (e->key() == Qt::Key_Right)
                m_Navigator.MiniStackMoveRight();
            else if (e->key() == Qt::Key_Up)
                for (int i = 0; i < kUpSteps[selected]; ++i)
                    m_Navigator.MiniStackMoveLeft();
            else
                for (int i = 0; i < kDownSteps[selected]; ++i)
                    m_Navigator.MiniStackMoveRight();
        }
        checkHighlight();
        break;
    case Qt::Key_F4:
    case Qt::Key_F6:
        m_Navigator.MiniStackSelectItem(m_pFields[e->key() == Qt::Key_F4 ? FieldHeader : FieldData]);
        slot_UserClickedOk(true);
        e->ignore();
        break;
    default:
        e->ignore();
        break;
    }
    updateLabelsText();
}

int QDialogSetupPdf::Pick(QBriselMiniStack* field, const QString& title, const QStringList& rows, int current)
{
    QDialogMessageListe picker(this);
    QStringList list = rows;
    picker.SetupText(title, list, current, Qt::AlignHCenter | Qt::AlignVCenter);
    picker.move(field->mapToGlobal(QPoint(field->width() - 1, 0)));
    const int result = picker.exec();
    MyQDebug("nRet %d", result);
    const int row = picker.GetLastSelectedIndice();
    return result == 1 && row >= 0 && row < rows.size() ? row : -1;
}

void QDialogSetupPdf::slot_UserClickedOk(bool open)
{
    MyQDebug("slot_UserClickedOk %d", m_Navigator.GetState());
    const int selected = SelectedField();
    if (m_Navigator.GetState() == QBriselMiniStackManager::MANAGER_SELECT && selected >= 0) {
        if (selected == FieldHeader || selected == FieldData) {
            if (open) {
                QWidget* grid = selected == FieldHeader ? static_cast<QWidget*>(ui->m_CtrlWidget_Header)
                                                        : static_cast<QWidget*>(ui->m_CtrlWidget_Data);
                grid->setFocus(Qt::OtherFocusReason);
            }
        } else if (!open) {
            if (ui->m_CtrlWidget_Header->hasFocus())
                ui->m_CtrlWidget_Header->Quit();
            if (ui->m_CtrlWidget_Data->hasFocus())
                ui->m_CtrlWidget_Data->Quit();
        } else if (selected == FieldLines) {
            const QStringList rows{QStringLiteral("1"), QStringLiteral("2")};
            const int row = Pick(m_pFields[FieldLines], QStringLiteral("Number of line per take"), rows,
                                 qMax(0, int(rows.indexOf(QString::number(m_nDataNbLine)))));
            if (row >= 0)
                slot_ReportSetupDataNbLine(rows.at(row).toInt());
        } else if (selected == FieldNote) {
            const int row = Pick(m_pFields[FieldNote], QStringLiteral("Note Line"),
                                 {QStringLiteral("OFF"), QStringLiteral("ON")}, m_bNoteLine ? 1 : 0);
            if (row >= 0)
                slot_ReportSetupDataNoteLine(row != 0);
        } else if (selected == FieldCircle) {
            const int current = m_nCircleDisplay == 1 || m_nCircleDisplay == 2 ? int(m_nCircleDisplay) : 0;
            const int row = Pick(m_pFields[FieldCircle], QStringLiteral("Display Circle Symbol"),
                                 {QStringLiteral("OFF"), QStringLiteral("TAKE"), QStringLiteral("FILETAG")}, current);
            if (row >= 0)
                slot_ReportSetupDataDisplayCircle(tReportCircleDisplay(row));
        }
    }
    m_Navigator.MiniStackFieldManager(1);
    checkHighlight();
    updateLabelsText();
}

void QDialogSetupPdf::slot_UserClickedCancel() {}

void QDialogSetupPdf::slot_MouseClicked(QWidget* grid)
{
    if (grid == ui->m_CtrlWidget_Data) {
        if (ui->m_CtrlWidget_Header->hasFocus())
            ui->m_CtrlWidget_Header->Quit();
        m_Navigator.MiniStackSelectItem(m_pFields[FieldData]);
    } else if (grid == ui->m_CtrlWidget_Header) {
        if (ui->m_CtrlWidget_Data->hasFocus())
            ui->m_CtrlWidget_Data->Quit();
        m_Navigator.MiniStackSelectItem(m_pFields[FieldHeader]);
    } else {
        return;
    }
    checkHighlight();
}

void QDialogSetupPdf::slot_MouseDoubleClicked(QWidget* grid)
{
    if (grid != ui->m_CtrlWidget_Data && grid != ui->m_CtrlWidget_Header)
        return;
    if (grid->hasFocus())
        return;
    m_Navigator.MiniStackSelectItem(m_pFields[grid == ui->m_CtrlWidget_Data ? FieldData : FieldHeader]);
    checkHighlight();
    slot_UserClickedOk(true);
}

void QDialogSetupPdf::checkHighlight()
{
    ui->m_CtrlWidget_Header->setHighlighted(false);
    ui->m_CtrlWidget_Data->setHighlighted(false);
    const int selected = SelectedField();
    if (selected == FieldHeader)
        ui->m_CtrlWidget_Header->setHighlighted(true);
    else if (selected == FieldData)
        ui->m_CtrlWidget_Data->setHighlighted(true);
}

void QDialogSetupPdf::updateLabelsText()
{
    const int selected = SelectedField();
    const bool cells = m_Navigator.GetState() == QBriselMiniStackManager::MANAGER_SELECT &&
                       (selected == FieldHeader || selected == FieldData) && GridHasFocus();
    ui->m_CtrlLabelTitle_Label_1->setText(cells ? QStringLiteral("U-D-L-R: Sel. Cell")
                                                : QStringLiteral("U-D-L-R: Select Item"));
    ui->m_CtrlLabelTitle_Label_2->setText(cells ? QStringLiteral("Enter: Edit Cell") : QStringLiteral("Enter: Edit Item"));
    ui->m_CtrlLabelTitle_Label_3->setText(cells ? QStringLiteral("ESC: Esc Edit Mode") : QStringLiteral("ESC: Exit"));
}

void QDialogSetupPdf::slot_finished(int)
{
    ui->m_CtrlWidget_Data->Exit();
    ui->m_CtrlWidget_Header->Exit();
}

bool QDialogSetupPdf::KeepOneKind(bool on)
{
    if (on)
        return false;
    const int kinds = (ui->m_CtrlCheckBox_Pdf->isChecked() ? 1 : 0) + (ui->m_CtrlCheckBox_Csv->isChecked() ? 1 : 0) +
                      (ui->m_CtrlCheckBox_Ale->isChecked() ? 1 : 0);
    if (kinds > 0)
        return false;
    ShowMessageBox(nullptr, QMessageBox::Warning, QStringLiteral("Report"),
                   QStringLiteral("Please select at least one Type"));
    return true;
}

void QDialogSetupPdf::slot_PdfToggled(bool on)
{
    ui->m_CtrlComboBox_PdfFormat->setEnabled(on);
    ui->m_CtrlLabel_PdfFormat->setEnabled(on);
    if (KeepOneKind(on))
        ui->m_CtrlCheckBox_Pdf->setChecked(true);
}

void QDialogSetupPdf::slot_CsvToggled(bool on)
{
    if (KeepOneKind(on))
        ui->m_CtrlCheckBox_Csv->setChecked(true);
}

void QDialogSetupPdf::slot_AleToggled(bool on)
{
    for (QWidget* w : std::initializer_list<QWidget*>{ui->m_CtrlComboBox_FPS, ui->m_CtrlComboBox_VideoFormat,
                                                      ui->m_CtrlLabel_AleFps, ui->m_CtrlLabel_AleVideoFormat})
        w->setEnabled(on);
    if (KeepOneKind(on))
        ui->m_CtrlCheckBox_Ale->setChecked(true);
}

void QDialogSetupPdf::slot_AleFpsChanged(int index)
{
    if (index >= 0 && index <= 5)
        m_nAleFps = AleFpsTable[index].nValue;
}

void QDialogSetupPdf::slot_AleVideoFormatChanged(int index)
{
    if (index >= 0 && index <= 5)
        m_nAleVideoFormat = AleVideoFormatTable[index].nValue;
}

void QDialogSetupPdf::slot_ReportPageFormatChanged(int index)
{
    MyQDebug("slot_ReportPageFormatChanged %d", index);
    if (index >= 0 && index <= 1)
        m_nPageFormat = tyReportPageFormat(index);
}
