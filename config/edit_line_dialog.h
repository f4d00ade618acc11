// CEditLine: the port and the kind of an existing line, and the toggle that
// has the polling thread close or open the line's port.
#pragma once

#include <QDialog>

#include <memory>

#include "config/edit_line.h"

class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace tovanix {
class Prompter;
}
namespace tovanix::devices {
class CTovanDeviveDrive;
class Engine;
}  // namespace tovanix::devices
namespace tovanix::widgets {
class RequestTimer;
}

namespace tovanix::config {

class CEditLine : public QDialog {
    Q_OBJECT
public:
    CEditLine(Prompter& prompter, devices::Engine& engine, QWidget* parent = nullptr);
    ~CEditLine() override;

    // Loads the line of this node; the node's text is the line name.
    void load(unsigned lineNodeData, const QString& lineName);
    int exec(unsigned lineNodeData, const QString& lineName);

    QComboBox* portCombo() const { return ports_; }
    QRadioButton* wiredRadio() const { return wired_; }
    QRadioButton* wirelessRadio() const { return wireless_; }
    QPushButton* changeButton() const { return change_; }
    QPushButton* toggleButton() const { return toggle_; }
    // The toggle's request is still followed.
    bool toggleBusy() const;

    void change();
    void toggle();

private:
    Prompter& prompter_;
    devices::Engine& engine_;
    std::unique_ptr<devices::CTovanDeviveDrive> drive_;
    widgets::RequestTimer* follower_;
    QLineEdit* name_;
    QComboBox* ports_;
    QRadioButton* wired_;
    QRadioButton* wireless_;
    QPushButton* change_;
    QPushButton* toggle_;
    EditLineState state_;
};

}  // namespace tovanix::config
