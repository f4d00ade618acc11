// The backup and restore controls (BackupPanel), shared by CBackup, the
// stand-alone dialog "数据库备份与还原", and the data-centre page. The work
// runs on a worker thread; the panel shows that it runs and refuses a second
// one meanwhile.
#pragma once

#include <QDialog>
#include <QWidget>
#include <functional>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QThread;

namespace tovanix {
class Prompter;
}

namespace tovanix::data {

class BackupPanel : public QWidget {
    Q_OBJECT
public:
    enum class Choice { DumpFolder, BackupFile, RestoreFile };
    // Asks the operator for a folder or a file; empty when cancelled.
    using Chooser = std::function<QString(Choice)>;
    // Called on the worker thread with true before a restore loads and with
    // false after it: the station stores nothing meanwhile. It may wait for
    // a store under way, so it never runs on the user-interface thread.
    using StoringPause = std::function<void(bool pause)>;

    BackupPanel(Prompter& prompter, QWidget* parent = nullptr);
    // Waits for a running dump or load: the station ends only after the
    // client program, never with a database half loaded.
    ~BackupPanel() override;

    void setChooser(Chooser chooser) { chooser_ = std::move(chooser); }
    void setStoringPause(StoringPause pause) { pause_ = std::move(pause); }
    // The DatabaseManage right; shows the folder anew.
    void open(bool canManage);
    bool busy() const { return worker_ != nullptr; }

    QLineEdit* folderEdit() const { return folder_; }
    QPushButton* changeButton() const { return change_; }
    QPushButton* backupButton() const { return backup_; }
    QPushButton* restoreButton() const { return restore_; }
    QProgressBar* busyBar() const { return bar_; }

signals:
    // After the message that ends a backup or restore.
    void finished(bool ok);
    void busyChanged(bool busy);

private:
    void changeFolder();
    void startBackup();
    void startRestore();
    void run(bool restore, const std::string& path);
    void setBusy(bool busy, const QString& what = {});
    QString choose(Choice c);

    Prompter& prompter_;
    Chooser chooser_;
    StoringPause pause_;
    bool canManage_ = false;
    QLineEdit* folder_;
    QPushButton* change_;
    QPushButton* backup_;
    QPushButton* restore_;
    QProgressBar* bar_;
    QLabel* state_;
    QThread* worker_ = nullptr;
};

// CBackup: the panel with "取消"; closes itself after a successful backup or
// restore, and cannot be closed while one runs.
class CBackup : public QDialog {
    Q_OBJECT
public:
    CBackup(Prompter& prompter, QWidget* parent = nullptr);
    int exec(bool canManage);
    BackupPanel* panel() const { return panel_; }
    QPushButton* cancelButton() const { return cancel_; }

public slots:
    void reject() override;

private:
    BackupPanel* panel_;
    QPushButton* cancel_;
};

}  // namespace tovanix::data
