// CSystemSetting: the remote-service page of the system configuration dialog,
// and CCompanyInfo: the company information ("公司信息") the user page shows.
#pragma once

#include <QGroupBox>
#include <QWidget>
#include <cstdint>

#include "config/system_setting.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QTimer;

namespace tovanix {
class Prompter;
}

namespace tovanix::config {

class CSystemSetting : public QWidget {
    Q_OBJECT
public:
    explicit CSystemSetting(Prompter& prompter, QWidget* parent = nullptr);

    // Reads the system row into the controls.
    void open();
    // The dialog closes: a connection test still running is no longer awaited.
    void closePage();
    bool testRunning() const { return pendingTest_ != 0; }

    QCheckBox* enableCheck() const { return enable_; }
    QLineEdit* addressEdit() const { return address_; }
    QLineEdit* portEdit() const { return port_; }
    QLineEdit* modelIdEdit() const { return modelId_; }
    QPushButton* saveButton() const { return save_; }
    QPushButton* testButton() const { return test_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    RemoteService controls() const;
    void followCheck(bool on);
    void markUnsaved();
    void saveNow();
    void startTest();
    void testEnded(std::uint64_t serial, const platform::TcpProbeResult& result);
    void setTestButton(bool running);

    Prompter& prompter_;
    QCheckBox* enable_;
    QLineEdit* address_;
    QLineEdit* port_;
    QLineEdit* modelId_;
    QPushButton* save_;
    QPushButton* test_;
    QTimer* giveUp_;
    std::uint64_t testSerial_ = 0;   // numbers the tests started
    std::uint64_t pendingTest_ = 0;  // the test awaited, 0 when none
};

class CCompanyInfo : public QGroupBox {
    Q_OBJECT
public:
    explicit CCompanyInfo(Prompter& prompter, QWidget* parent = nullptr);

    // Reads the company name and website; `canEdit` is the UserManage right.
    void open(bool canEdit);

    QLineEdit* nameEdit() const { return name_; }
    QLineEdit* urlEdit() const { return url_; }

signals:
    // Both texts were saved: the window redraws its banner with them.
    void companyChanged(const QString& companyName, const QString& url);

private:
    void saveNow();

    Prompter& prompter_;
    QLineEdit* name_;
    QLineEdit* url_;
};

}  // namespace tovanix::config
