#include "alarms/alarm_ack_dialog.h"

#include <QAbstractTableModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "platform/prompter.h"
#include "widgets/artwork.h"

namespace tovanix::alarms {

namespace {
constexpr int kNoteMaxLength = static_cast<int>(kNoteChars);
constexpr int kListWidth = 640;
constexpr int kListHeight = 320;
}  // namespace

class OpenAlarmModel : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;
    void setRows(std::vector<OpenAlarm> rows) {
        beginResetModel();
        rows_ = std::move(rows);
        endResetModel();
    }
    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(rows_.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : kAckColumns; }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid()) return {};
        if (role == Qt::TextAlignmentRole) return int(Qt::AlignCenter);
        if (role != Qt::DisplayRole) return {};
        return QString::fromStdString(ackCell(rows_[static_cast<std::size_t>(index.row())], index.row(), index.column()));
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= kAckColumns) {
            return {};
        }
        return QString::fromUtf8(kAckHeaders[section]);
    }

private:
    std::vector<OpenAlarm> rows_;
};

CAddSolution::CAddSolution(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromUtf8(kNoteTitle));
    edit_ = new QLineEdit(this);
    edit_->setObjectName(QStringLiteral("note"));
    edit_->setMaxLength(kNoteMaxLength);
    edit_->setAccessibleName(QString::fromUtf8(kNoteTitle));
    auto* ok = new QPushButton(QString::fromUtf8(kButtonOk), this);
    ok->setDefault(true);
    auto* cancel = new QPushButton(QString::fromUtf8(kButtonCancel), this);
    for (QPushButton* b : {ok, cancel}) b->setAccessibleName(b->text());
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(edit_);
    layout->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

std::optional<std::string> CAddSolution::askNote() {
    if (exec() != QDialog::Accepted) return std::nullopt;
    return edit_->text().toStdString();
}

CAlarmAck::CAlarmAck(Prompter& prompter, AckStation& station, QWidget* parent)
    : QDialog(parent), prompter_(prompter), station_(station), note_(this) {
    setWindowTitle(QString::fromUtf8(kAckDialogTitle));
    setWindowIcon(widgets::programIcon());
    model_ = new OpenAlarmModel(this);
    list_ = new QTableView(this);
    list_->setModel(model_);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setShowGrid(true);
    list_->verticalHeader()->hide();
    list_->horizontalHeader()->setStretchLastSection(true);
    list_->setAccessibleName(QString::fromUtf8(kAckDialogTitle));
    list_->setMinimumSize(kListWidth, kListHeight);
    ack_ = new QPushButton(QString::fromUtf8(kAckButton), this);
    auto* cancel = new QPushButton(QString::fromUtf8(kButtonCancel), this);
    // Present, as it always was, but not part of the layout the operator sees.
    sirenOff_ = new QPushButton(QString::fromUtf8(kSirenOffButton), this);
    sirenOff_->hide();
    for (QPushButton* b : {ack_, cancel, sirenOff_}) b->setAccessibleName(b->text());
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ack_);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_, 1);
    layout->addLayout(buttons);
    connect(ack_, &QPushButton::clicked, this, &CAlarmAck::acknowledgeAll);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(sirenOff_, &QPushButton::clicked, this, [this] { station_.sirenOff(); });
    askNote_ = [this] { return note_.askNote(); };
}

CAlarmAck::~CAlarmAck() = default;

void CAlarmAck::setDevice(int lineid, int address, std::string user) {
    lineid_ = lineid;
    address_ = address;
    user_ = std::move(user);
}

void CAlarmAck::reload() {
    acknowledged_ = false;
    AckListing listing = listOpenAlarms(station_, lineid_, address_);
    setWindowTitle(QString::fromStdString(listing.title.empty() ? std::string(kAckDialogTitle) : listing.title));
    model_->setRows(std::move(listing.rows));
}

int CAlarmAck::exec() {
    reload();
    return QDialog::exec();
}

void CAlarmAck::acknowledgeAll() {
    const AckOutcome out = acknowledge(prompter_, station_, lineid_, address_, user_, askNote_);
    acknowledged_ = out.stored;
    if (out.close) accept();
}

}  // namespace tovanix::alarms
