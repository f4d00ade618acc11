// CAddLine: a new serial line, wired or wireless, on one of the PC's ports.
#pragma once

#include <QDialog>

#include <functional>
#include <memory>

class QComboBox;
class QLineEdit;
class QRadioButton;

namespace tovanix {
class Prompter;
}
namespace tovanix::devices {
class CTovanDeviveDrive;
class Engine;
}  // namespace tovanix::devices

namespace tovanix::config {

class CAddLine : public QDialog {
    Q_OBJECT
public:
    // deletionClosing tells whether a deleted line's port is still being closed.
    CAddLine(Prompter& prompter, devices::Engine& engine, std::function<bool()> deletionClosing,
             QWidget* parent = nullptr);
    ~CAddLine() override;

    // Fills the port list; exec() calls it.
    void reload();
    int exec() override;

    // The new line, after the dialog was accepted.
    int lineid() const { return lineid_; }
    QString lineName() const;

    QLineEdit* nameEdit() const { return name_; }
    QComboBox* portCombo() const { return ports_; }
    QRadioButton* wiredRadio() const { return wired_; }
    QRadioButton* wirelessRadio() const { return wireless_; }

public slots:
    void accept() override;

private:
    Prompter& prompter_;
    devices::Engine& engine_;
    std::function<bool()> deletionClosing_;
    std::unique_ptr<devices::CTovanDeviveDrive> drive_;
    QLineEdit* name_;
    QComboBox* ports_;
    QRadioButton* wired_;
    QRadioButton* wireless_;
    int lineid_ = 0;
};

}  // namespace tovanix::config
