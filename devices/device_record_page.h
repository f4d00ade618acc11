// CDeviceRecord (记录设置): the logger's recording interval and the
// station's database update interval.
#pragma once

#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace tovanix {
class Prompter;
}
namespace tovanix::widgets {
class RequestTimer;
}

namespace tovanix::devices {

class Engine;
struct CurrentDevice;

class CDeviceRecord : public QWidget {
    Q_OBJECT
public:
    CDeviceRecord(Prompter& prompter, Engine& engine, CurrentDevice& current, QWidget* parent = nullptr);

    void showDevice();
    void closePage();

    QLineEdit* currentField() const { return current_field_; }
    QComboBox* intervalList() const { return list_; }
    QPushButton* intervalButton() const { return apply_; }
    QLineEdit* hoursEdit() const { return hours_; }
    QLineEdit* minutesEdit() const { return minutes_; }
    QPushButton* updateButton() const { return update_; }

private:
    void applyInterval();
    void applyUpdate();
    void updateEdited();

    Prompter& prompter_;
    Engine& engine_;
    CurrentDevice& current_;
    QLineEdit* current_field_;
    QComboBox* list_;
    QLabel* note_;
    QPushButton* apply_;
    QLineEdit* hours_;
    QLineEdit* minutes_;
    QPushButton* update_;
    widgets::RequestTimer* write_;
    QTimer* progress_;
    int tick_ = 0;
};

}  // namespace tovanix::devices
