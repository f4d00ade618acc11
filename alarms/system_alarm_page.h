// CSystemAlarm: the alarm-output page of the system configuration dialog
// (siren, short messages, repeat interval, the alarm device's port, phone
// numbers, switching the siren off), and CAddPhoneNum for a new number.
#pragma once

#include <QDialog>
#include <QWidget>
#include <any>
#include <cstdint>
#include <functional>

#include "alarms/system_alarm.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace tovanix {
class Prompter;
}
namespace tovanix::widgets {
class RequestTimer;
}

namespace tovanix::alarms {

class CAddPhoneNum : public QDialog {
    Q_OBJECT
public:
    CAddPhoneNum(Prompter& prompter, AlarmConfig& config, QWidget* parent = nullptr);
    // The number added, when the dialog closed with OK.
    QString number() const;
    QLineEdit* numberEdit() const { return number_; }
    // Set when a duplicate asks for the dialog to be shown again.
    bool askAgain() const { return askAgain_; }
    int exec() override;

public slots:
    void accept() override;

private:
    Prompter& prompter_;
    AlarmConfig& config_;
    QLineEdit* number_;
    bool askAgain_ = false;
};

class CSystemAlarm : public QWidget {
    Q_OBJECT
public:
    // Posts a job to the alarm thread; false when it does not run.
    using PostAlarm = std::function<bool(std::uint32_t message, std::any payload)>;

    // The alarm-output tab, or the second set of its controls on the user
    // page, where the port may be confirmed again after each change.
    enum class Placement { AlarmTab, UserPage };

    CSystemAlarm(Prompter& prompter, AlarmShared& shared, PostAlarm postAlarm, QWidget* parent = nullptr,
                 Placement placement = Placement::AlarmTab);

    // Reads the phone table and shows the settings; `canEdit` is the
    // AlarmSetting right ("关闭警声" stays enabled without it).
    void open(bool canEdit);
    // The dialog closes: a port test still followed is dropped.
    void closePage();
    // Shows the settings and phone list in memory again (the other set of
    // controls may have changed them), without reading the database.
    void showMemory();

    QCheckBox* soundCheck() const { return sound_; }
    QCheckBox* gmsCheck() const { return gms_; }
    QLineEdit* comEdit() const { return com_; }
    QLineEdit* intervalEdit() const { return interval_; }
    QPushButton* confirmButton() const { return confirm_; }
    QPushButton* boxOffButton() const { return boxOff_; }
    QPushButton* addButton() const { return add_; }
    QPushButton* deleteButton() const { return delete_; }
    QTableWidget* phoneList() const { return phones_; }
    CAddPhoneNum* addPhoneDialog() const { return addPhone_; }

private:
    void showSettings(const AlarmDeviceSettings& settings);
    void fillPhones(const std::vector<std::string>& numbers);
    void appendPhone(const QString& number);
    void saveCheck(AlarmColumn column, bool on);
    void saveInterval(const QString& text);
    void testPort();
    void portTested(bool opened, int com);
    void addNumber();
    void deleteNumbers();

    Prompter& prompter_;
    AlarmShared& shared_;
    PostAlarm postAlarm_;
    Placement placement_;
    AlarmPageSession session_;
    QCheckBox* sound_;
    QPushButton* boxOff_;
    QLineEdit* com_;
    QPushButton* confirm_;
    QCheckBox* gms_;
    QLineEdit* interval_;
    QTableWidget* phones_;
    QPushButton* add_;
    QPushButton* delete_;
    CAddPhoneNum* addPhone_;
    widgets::RequestTimer* portTest_;
};

}  // namespace tovanix::alarms
