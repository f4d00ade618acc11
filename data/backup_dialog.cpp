#include "data/backup_dialog.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>
#include <memory>

#include "data/backup_actions.h"
#include "platform/format.h"
#include "platform/prompter.h"
#include "widgets/artwork.h"

namespace tovanix::data {

namespace {

QString qs(const std::string& s) { return QString::fromStdString(s); }
QString qs(const char* s) { return QString::fromUtf8(s); }

QPushButton* button(const char* text, QWidget* parent) {
    auto* b = new QPushButton(qs(text), parent);
    b->setAccessibleName(b->text());
    b->setAutoDefault(false);
    return b;
}

QString fileFilter() { return qs(backup::kFileFilter); }

}  // namespace

BackupPanel::BackupPanel(Prompter& prompter, QWidget* parent) : QWidget(parent), prompter_(prompter) {
    auto* frame = new QGroupBox(qs(backup::kProgramFolderFrame), this);
    frame->setAccessibleName(frame->title());
    folder_ = new QLineEdit(frame);
    folder_->setEnabled(false);
    folder_->setAccessibleName(frame->title());
    change_ = button(backup::kChangeButton, frame);
    auto* frameRow = new QHBoxLayout(frame);
    frameRow->addWidget(folder_, 1);
    frameRow->addWidget(change_);
    backup_ = button(backup::kBackupButton, this);
    restore_ = button(backup::kRestoreButton, this);
    bar_ = new QProgressBar(this);
    bar_->setRange(0, 0);  // busy: how far a dump is cannot be known
    bar_->setTextVisible(false);
    bar_->setVisible(false);
    state_ = new QLabel(this);
    state_->setVisible(false);
    bar_->setAccessibleName(qs(backup::kBackingUp));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(backup_);
    buttons->addWidget(restore_);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(frame);
    layout->addLayout(buttons);
    layout->addWidget(state_);
    layout->addWidget(bar_);
    connect(change_, &QPushButton::clicked, this, &BackupPanel::changeFolder);
    connect(backup_, &QPushButton::clicked, this, &BackupPanel::startBackup);
    connect(restore_, &QPushButton::clicked, this, &BackupPanel::startRestore);
}

BackupPanel::~BackupPanel() {
    if (worker_ == nullptr) return;
    // The event loop has ended: the finished handler will not run.
    worker_->wait();
    delete worker_;
    worker_ = nullptr;
    backup::endRun();
}

void BackupPanel::open(bool canManage) {
    canManage_ = canManage;
    folder_->setText(qs(backup::shownClientFolder()));
    setBusy(busy());
}

QString BackupPanel::choose(Choice c) {
    if (chooser_) return chooser_(c);
    switch (c) {
        case Choice::DumpFolder:
            return QFileDialog::getExistingDirectory(this, qs(backup::kProgramFolderFrame), folder_->text());
        case Choice::BackupFile:
            return QFileDialog::getSaveFileName(this, qs(backup::kBackupButton), qs(backup::kDefaultFileName),
                                                fileFilter());
        case Choice::RestoreFile:
            return QFileDialog::getOpenFileName(this, qs(backup::kRestoreButton), QString(), fileFilter());
    }
    return {};
}

void BackupPanel::changeFolder() {
    const QString folder = choose(Choice::DumpFolder);
    if (folder.isEmpty()) return;
    if (backup::findProgram(backup::kDumpProgram, folder.toStdString()).empty()) {
        prompter_.inform(platform::format(backup::kProgramNotFound, backup::kDumpProgram), kCaptionInfo);
        return;
    }
    backup::setClientFolder(folder.toStdString());
    folder_->setText(folder);
}

void BackupPanel::startBackup() {
    const QString path = choose(Choice::BackupFile);
    if (path.isEmpty()) return;
    run(false, backup::withExtension(path.toStdString()));
}

void BackupPanel::startRestore() {
    const QString path = choose(Choice::RestoreFile);
    if (path.isEmpty()) return;
    if (!backup::confirmRestore(prompter_)) return;
    run(true, path.toStdString());
}

void BackupPanel::run(bool restore, const std::string& path) {
    // The page and the dialog share one turn.
    if (busy() || !backup::beginRun()) return;
    const backup::Job job = backup::currentJob(backup::clientFolder());
    auto outcome = std::make_shared<backup::Outcome>();
    StoringPause pause = restore ? pause_ : StoringPause();
    QThread* worker = QThread::create([restore, path, job, outcome, pause] {
        if (pause) pause(true);
        *outcome = restore ? backup::restoreFrom(path, job) : backup::backupTo(path, job);
        if (pause) pause(false);
    });
    worker_ = worker;
    setBusy(true, qs(restore ? backup::kRestoring : backup::kBackingUp));
    connect(worker, &QThread::finished, this, [this, worker, restore, path, outcome] {
        worker->deleteLater();
        worker_ = nullptr;
        backup::endRun();
        setBusy(false);
        if (restore) {
            backup::reportRestore(prompter_, *outcome);
        } else {
            backup::reportBackup(prompter_, path, *outcome);
        }
        emit finished(outcome->ok);
    });
    worker->start();
}

void BackupPanel::setBusy(bool running, const QString& what) {
    change_->setEnabled(canManage_ && !running);
    backup_->setEnabled(canManage_ && !running);
    restore_->setEnabled(canManage_ && !running);
    bar_->setVisible(running);
    state_->setVisible(running);
    if (!what.isEmpty()) {
        state_->setText(what);
        state_->setAccessibleName(what);
        bar_->setAccessibleName(what);
    }
    emit busyChanged(running);
}

CBackup::CBackup(Prompter& prompter, QWidget* parent) : QDialog(parent) {
    setWindowTitle(qs(backup::kBackupTitle));
    setWindowIcon(widgets::programIcon());
    panel_ = new BackupPanel(prompter, this);
    cancel_ = button(kButtonCancel, this);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(panel_);
    layout->addLayout(row);
    connect(cancel_, &QPushButton::clicked, this, &CBackup::reject);
    connect(panel_, &BackupPanel::busyChanged, cancel_, [this](bool busy) { cancel_->setEnabled(!busy); });
    connect(panel_, &BackupPanel::finished, this, [this](bool ok) {
        if (ok) accept();
    });
}

int CBackup::exec(bool canManage) {
    panel_->open(canManage);
    return QDialog::exec();
}

void CBackup::reject() {
    // Escape and the close box wait for the running dump or load.
    if (panel_->busy()) return;
    QDialog::reject();
}

}  // namespace tovanix::data
