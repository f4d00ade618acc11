// The controls the two line dialogs share: the disabled TCP/IP fields, the
// port kind, the line kind and the port list.
#pragma once

#include <QString>

class QComboBox;
class QGridLayout;
class QLineEdit;
class QRadioButton;
class QWidget;

namespace tovanix::config {

struct LineForm {
    QLineEdit* tcpPort = nullptr;
    QLineEdit* hub = nullptr;
    QLineEdit* scan = nullptr;
    QLineEdit* scanUpper = nullptr;
    QRadioButton* tcp = nullptr;
    QRadioButton* com = nullptr;
    QRadioButton* wireless = nullptr;
    QRadioButton* wired = nullptr;
    QComboBox* ports = nullptr;
    QGridLayout* layout = nullptr;  // starts at row `firstRow`
};

// Builds the controls into a grid; every control carries its label's text
// as its accessible name.
LineForm buildLineForm(QWidget* parent, int firstRow);
// Fills the port list with the enumerated ports (or "无串口") and selects the first.
void fillPorts(QComboBox* combo);

}  // namespace tovanix::config
