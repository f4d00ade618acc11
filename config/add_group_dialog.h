// CAddRoom: a new group under the selected line.
#pragma once

#include <QDialog>

class QLineEdit;

namespace tovanix {
class Prompter;
}
namespace tovanix::devices {
class StationTable;
}

namespace tovanix::config {

class CAddRoom : public QDialog {
    Q_OBJECT
public:
    CAddRoom(Prompter& prompter, devices::StationTable& table, QWidget* parent = nullptr);

    // Adds under the line node with this data; the name is kept between uses.
    int exec(unsigned lineNodeData);

    int roomid() const { return roomid_; }
    QString groupName() const;
    QLineEdit* nameEdit() const { return name_; }

public slots:
    void accept() override;

private:
    Prompter& prompter_;
    devices::StationTable& table_;
    QLineEdit* name_;
    unsigned lineNode_ = 0;
    int roomid_ = 0;
};

}  // namespace tovanix::config
