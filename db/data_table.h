// Per-device data tables TovanDataTable_<n>, n = lineid * 1000 + address.
#pragma once

#include <string>
#include <string_view>

namespace tovanix::db {

class Connection;

// The predicate every reader uses for "this row is an alarm row".
inline constexpr const char* kAlarmRowPredicate = "AlarmSign!='0' and AlarmSign !='' and AlarmSign !='A'";
// A channel value that means "no reading".
inline constexpr double kNoReading = 1000.0;

// Built from integers only, so a table name can never carry text.
constexpr int dataTableNumber(int lineid, int address) { return lineid * 1000 + address; }
std::string dataTableName(int n);
std::string createDataTableSql(int n);
bool createDataTable(Connection& c, int n);

// A live reading: a second reading of the same minute replaces the first.
bool storeLiveReading(Connection& c, int n, const std::string& time, double ch1, double ch2,
                      const std::string& alarmSign);
// A record fetched from the logger's memory: an existing time stamp is kept.
bool storeFetchedRecord(Connection& c, int n, const std::string& time, double ch1, double ch2);
// The newest time stored in the device row.
bool updateDownLastTime(Connection& c, int address, int lineid, const std::string& time);

// Same rule as kAlarmRowPredicate, for a sign already read.
bool isAlarmSign(std::string_view sign);

}  // namespace tovanix::db
