// Readings the station missed while it kept running, fetched back from the
// loggers' own memory. A gap of a logger runs from the last reading stored in
// its data table to the next one stored; it opens at the first scan whose
// reading could not be stored (database unreachable or refusing) or that the
// logger did not answer. When it closes, the records strictly inside it are
// to be fetched with the history download, between scans.
//
// Bookkeeping only, without I/O: the polling thread reports what each scan
// did, runs the fills handed out and reports how they went. It is used by
// the polling thread alone and takes no lock.
#pragma once

#include <compare>
#include <ctime>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tovanix::devices {

struct GapKey {
    int lineid = 0;
    int address = 0;
    auto operator<=>(const GapKey&) const = default;
};

enum class GapCause { NotStored, NoAnswer };

// One span of a logger to fetch. Reading times are the logger's own (its
// clock, to the minute), as its records and the data table carry them.
struct GapSpan {
    long long id = 0;
    GapKey key;
    std::time_t from = 0;      // last reading stored before the gap
    std::time_t to = 0;        // first reading stored after it
    std::time_t openedAt = 0;  // station time of the scan that opened it
    GapCause cause = GapCause::NotStored;
    int attempts = 0;          // fills that could not finish
    bool ready = true;         // to be tried at the next fill
};

// What one fill of a span achieved.
struct FillReport {
    bool answered = false;   // the logger reported its memory
    bool complete = false;   // every block needed was read and every record stored
    int fetched = 0;         // records new in the data table
    int held = 0;            // records the logger holds
    std::time_t oldest = 0;  // its oldest record (when held > 0)
    int intervalMinutes = 1; // its recording interval
};

// Records of a span the logger no longer holds (memory overwritten, or
// cleared when its clock was set), or that could not be fetched at all.
struct LostSpan {
    GapKey key;
    std::time_t first = 0;  // first and last missing minute
    std::time_t last = 0;
    bool unreachable = false;  // given up after repeated failures, rather than gone from the logger
};

enum class FillOutcome { Done, Retry, GivenUp };

struct FillResult {
    FillOutcome outcome = FillOutcome::Done;
    std::optional<LostSpan> lost;
};

class GapTracker {
public:
    static constexpr int kMaxAttempts = 3;

    // A reading of the logger went into its data table. Closes an open gap:
    // returns its span (also queued when some minute lies inside it). A span
    // still waiting after a failed fill becomes ready again.
    std::optional<GapSpan> stored(GapKey key, std::time_t readingTime);
    // A scan could not store the logger's reading, or the logger did not
    // answer. `lastKnown` is the newest reading the table held when the
    // station started (DownLastTime), the gap's start while nothing was
    // stored in this run; when that is 0 too, no gap opens. True when this
    // opens the gap.
    bool missed(GapKey key, GapCause cause, std::time_t scanTime, std::time_t lastKnown);

    bool isOpen(GapKey key) const { return open_.count(key) != 0; }
    std::optional<GapSpan> openGap(GapKey key) const;
    // Spans to try now, oldest first.
    std::vector<GapSpan> ready() const;
    bool hasReady() const;
    std::size_t waiting() const { return spans_.size(); }

    // How the fill of span `id` went. Done and GivenUp take it off the list;
    // Retry keeps it until the logger's next stored reading.
    FillResult filled(long long id, const FillReport& report);
    // Not tried this time (the database was unreachable): waits, without
    // counting as an attempt, for the logger's next stored reading.
    void postpone(long long id);
    // The logger is gone (deleted, or its line closed): its gap and spans too.
    void forget(GapKey key);

private:
    struct Open {
        std::time_t from = 0;
        std::time_t openedAt = 0;
        GapCause cause = GapCause::NotStored;
    };
    std::map<GapKey, std::time_t> lastStored_;
    std::map<GapKey, Open> open_;
    std::vector<GapSpan> spans_;
    long long nextId_ = 1;
};

// Whether some whole minute lies strictly between two reading times.
constexpr bool minutesInside(std::time_t from, std::time_t to) { return to - from >= 120; }

}  // namespace tovanix::devices
