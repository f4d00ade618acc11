// The models behind the data page's lists: the history list (one model row
// per reading, newest first) and the alarm list of the span.
#pragma once

#include <QAbstractTableModel>

#include <memory>
#include <vector>

#include "data/history_store.h"

namespace tovanix::data {

// Readings are shared with the chart, which draws the same span.
using ReadingList = std::shared_ptr<const std::vector<Reading>>;

class HistoryModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Time, Channel1, Channel2, kColumnCount };

    explicit HistoryModel(QObject* parent = nullptr);

    void setReadings(ReadingList readings, int probeType);
    void clear();
    const std::vector<Reading>& readings() const { return *readings_; }
    ReadingList shared() const { return readings_; }
    int probeType() const { return probeType_; }
    // The first row whose time text equals `time`, or -1 (the history list
    // is searched from its top).
    int rowOfTime(std::string_view time) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    ReadingList readings_;
    int probeType_ = 0;
};

class SpanAlarmModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;
    void setRows(std::vector<AlarmRow> rows);
    const std::vector<AlarmRow>& rows() const { return rows_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::vector<AlarmRow> rows_;
};

}  // namespace tovanix::data
