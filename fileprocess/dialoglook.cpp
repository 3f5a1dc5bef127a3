#include "fileprocess/dialoglook.h"

#include <QDialog>

void ApplyProcessDialogLook(QDialog* dialog)
{
    dialog->setStyleSheet(QStringLiteral(
        "QDialog { background-color: #303030; }"
        "QLabel, QRadioButton, QCheckBox, QGroupBox { color: #E0E0E0; }"
        "QLabel:disabled, QRadioButton:disabled, QCheckBox:disabled { color: #808080; }"
        "QLineEdit, QSpinBox, QComboBox { color: #FFFFFF; background-color: #505050; }"
        "QSpinBox:disabled, QLineEdit:disabled { color: #909090; background-color: #404040; }"
        "QPushButton { color: #E0E0E0; background-color: #505050; border: 1px solid #808080; border-radius: 2px; }"
        "QPushButton:disabled { color: #808080; border-color: #505050; }"
        "QProgressBar { color: #FFFFFF; background-color: #202020; border: 1px solid #606060; text-align: center; }"
        "QProgressBar::chunk { background-color: #1C9FB3; }"
        "QScrollArea, QScrollArea > QWidget > QWidget { background-color: #303030; }"
        // Round indicators that show on the dark face, the chosen one filled.
        "QRadioButton::indicator { width: 11px; height: 11px; border: 1px solid #C0C0C0; border-radius: 6px;"
        " background-color: #505050; }"
        "QRadioButton::indicator:hover { border-color: #02B8CC; }"
        "QRadioButton::indicator:checked { background-color: qradialgradient(cx:0.5, cy:0.5, radius:0.5,"
        " fx:0.5, fy:0.5, stop:0 #1C9FB3, stop:0.55 #1C9FB3, stop:0.65 #505050, stop:1 #505050); }"
        "QRadioButton::indicator:disabled { border-color: #707070; background-color: #404040; }"
        "QRadioButton::indicator:checked:disabled { background-color: qradialgradient(cx:0.5, cy:0.5,"
        " radius:0.5, fx:0.5, fy:0.5, stop:0 #808080, stop:0.55 #808080, stop:0.65 #404040, stop:1 #404040); }"));
}
