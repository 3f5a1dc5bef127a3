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
        "QScrollArea, QScrollArea > QWidget > QWidget { background-color: #303030; }"));
}
