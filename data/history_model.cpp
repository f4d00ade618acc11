#include "data/history_model.h"

#include "data/history_text.h"

namespace tovanix::data {

namespace {
const std::vector<Reading> kNoReadings;
}

HistoryModel::HistoryModel(QObject* parent)
    : QAbstractTableModel(parent), readings_(std::shared_ptr<const std::vector<Reading>>(), &kNoReadings) {}

void HistoryModel::setReadings(ReadingList readings, int probeType) {
    beginResetModel();
    readings_ = readings ? std::move(readings) : ReadingList(ReadingList(), &kNoReadings);
    probeType_ = probeType;
    endResetModel();
    emit headerDataChanged(Qt::Horizontal, Channel2, Channel2);
}

void HistoryModel::clear() {
    setReadings(nullptr, probeType_);
}

int HistoryModel::rowOfTime(std::string_view time) const {
    const auto& rows = *readings_;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].timeText() == time) return static_cast<int>(i);
    }
    return -1;
}

int HistoryModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(readings_->size());
}

int HistoryModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant HistoryModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    if (role == Qt::TextAlignmentRole) return int(Qt::AlignCenter);
    if (role != Qt::DisplayRole) return {};
    const Reading& r = (*readings_)[static_cast<std::size_t>(index.row())];
    switch (index.column()) {
        case Time:
            return QString::fromLatin1(r.time.data());
        case Channel1:
            return QString::fromStdString(valueText(r.ch1));
        case Channel2:
            return QString::fromStdString(secondChannelText(probeType_, r.ch2));
        default:
            return {};
    }
}

QVariant HistoryModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    switch (section) {
        case Time:
            return QString::fromUtf8(kHeaderTime);
        case Channel1:
            return QString::fromUtf8(kHeaderTemperature);
        case Channel2:
            return QString::fromUtf8(secondHeader(probeType_));
        default:
            return {};
    }
}

void SpanAlarmModel::setRows(std::vector<AlarmRow> rows) {
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}

int SpanAlarmModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int SpanAlarmModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kAlarmColumns;
}

QVariant SpanAlarmModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    if (role == Qt::TextAlignmentRole) return int(Qt::AlignCenter);
    if (role != Qt::DisplayRole) return {};
    return QString::fromStdString(alarmCell(rows_[static_cast<std::size_t>(index.row())], index.row(), index.column()));
}

QVariant SpanAlarmModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= kAlarmColumns) return {};
    return QString::fromUtf8(kAlarmHeaders[section]);
}

}  // namespace tovanix::data
