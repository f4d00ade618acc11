// The gap bookkeeping without I/O: which scans open and close a gap, which
// spans are handed out for a fill, and what a fill's report makes of them.
#include <gtest/gtest.h>

#include "devices/gap_fill.h"
#include "tests/devices/engine_test_support.h"

namespace tovanix::test {
namespace {

using devices::FillOutcome;
using devices::FillReport;
using devices::GapCause;
using devices::GapKey;
using devices::GapTracker;

std::time_t at(int hour, int minute) { return localTime(2026, 12, 7, hour, minute); }

constexpr GapKey kLogger{1, 3};
constexpr GapKey kOther{1, 4};

// One scan's outcome for kLogger: a stored reading of that minute, or a miss.
struct ScanStep {
    int minute;
    bool stored;
};

struct SequenceCase {
    const char* name;
    std::vector<ScanStep> steps;
    std::time_t lastKnown;
    int opened;                // times missed() opened the gap
    bool openAtEnd;
    std::vector<std::pair<int, int>> spans;  // queued spans, minutes after 10:00 (from, to)
};

TEST(GapTracker, ScansOpenAndCloseGaps) {
    const SequenceCase cases[] = {
        {"all stored", {{0, true}, {1, true}, {2, true}}, at(9, 0), 0, false, {}},
        {"outage of five scans", {{0, true}, {1, false}, {2, false}, {3, false}, {4, false}, {5, false}, {6, true}},
         at(9, 0), 1, false, {{0, 6}}},
        {"one miss, nothing between", {{0, true}, {0, false}, {1, true}}, at(9, 0), 1, false, {}},
        {"one miss, a minute between", {{0, true}, {1, false}, {2, true}}, at(9, 0), 1, false, {{0, 2}}},
        {"missed from the start: from DownLastTime", {{1, false}, {2, false}, {3, true}}, at(9, 58), 1, false,
         {{-2, 3}}},
        {"never stored, nothing known: no gap from 1970", {{1, false}, {2, false}, {3, true}}, 0, 0, false, {}},
        {"nothing known, stored once: gaps open again", {{1, true}, {2, false}, {4, true}}, 0, 1, false, {{1, 4}}},
        {"still open", {{0, true}, {1, false}, {2, false}}, at(9, 0), 1, true, {}},
        {"two gaps, two spans", {{0, true}, {1, false}, {2, true}, {3, false}, {4, false}, {5, true}}, at(9, 0), 2,
         false, {{0, 2}, {2, 5}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        GapTracker t;
        int opened = 0;
        for (const ScanStep& s : c.steps) {
            if (s.stored)
                t.stored(kLogger, at(10, s.minute));
            else
                opened += t.missed(kLogger, GapCause::NotStored, at(10, s.minute) + 30, c.lastKnown) ? 1 : 0;
        }
        EXPECT_EQ(opened, c.opened);
        EXPECT_EQ(t.isOpen(kLogger), c.openAtEnd);
        EXPECT_FALSE(t.isOpen(kOther));
        auto ready = t.ready();
        ASSERT_EQ(ready.size(), c.spans.size());
        for (std::size_t i = 0; i < ready.size(); ++i) {
            EXPECT_EQ(ready[i].from, at(10, 0) + c.spans[i].first * 60) << i;
            EXPECT_EQ(ready[i].to, at(10, 0) + c.spans[i].second * 60) << i;
            EXPECT_EQ(ready[i].key, kLogger);
        }
    }
}

struct ReportCase {
    const char* name;
    FillReport report;
    FillOutcome outcome;
    bool lost;
    std::time_t lostFirst, lostLast;
    bool unreachable;
};

// One span of kLogger from 10:00 to 10:10 (records 10:01 .. 10:09 missing).
TEST(GapTracker, FillReports) {
    const ReportCase cases[] = {
        {"all there", {true, true, 9, 500, at(3, 0), 1}, FillOutcome::Done, false, 0, 0, false},
        {"oldest one interval after the start", {true, true, 9, 9, at(10, 1), 1}, FillOutcome::Done, false, 0, 0,
         false},
        {"oldest inside: the first minutes overwritten", {true, true, 5, 5, at(10, 5), 1}, FillOutcome::Done, true,
         at(10, 1), at(10, 4), false},
        {"two-minute interval, oldest at 10:02", {true, true, 4, 4, at(10, 2), 2}, FillOutcome::Done, false, 0, 0,
         false},
        {"memory cleared, nothing held", {true, true, 0, 0, at(10, 7), 1}, FillOutcome::Done, true, at(10, 1),
         at(10, 9), false},
        {"oldest after the gap", {true, true, 3, 3, at(10, 30), 1}, FillOutcome::Done, true, at(10, 1), at(10, 9),
         false},
        {"no answer", {false, false, 0, 0, 0, 1}, FillOutcome::Retry, false, 0, 0, false},
        {"a block unreadable", {true, false, 7, 500, at(3, 0), 1}, FillOutcome::Retry, false, 0, 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        GapTracker t;
        t.stored(kLogger, at(10, 0));
        t.missed(kLogger, GapCause::NoAnswer, at(10, 1), 0);
        ASSERT_TRUE(t.stored(kLogger, at(10, 10)).has_value());
        ASSERT_EQ(t.ready().size(), 1u);
        auto r = t.filled(t.ready()[0].id, c.report);
        EXPECT_EQ(r.outcome, c.outcome);
        ASSERT_EQ(r.lost.has_value(), c.lost);
        if (c.lost) {
            EXPECT_EQ(r.lost->first, c.lostFirst);
            EXPECT_EQ(r.lost->last, c.lostLast);
            EXPECT_EQ(r.lost->unreachable, c.unreachable);
            EXPECT_EQ(r.lost->key, kLogger);
        }
        EXPECT_EQ(t.waiting(), c.outcome == FillOutcome::Retry ? 1u : 0u);
        EXPECT_FALSE(t.hasReady()) << "a span is tried once per stored reading";
    }
}

TEST(GapTracker, RetriedAfterTheNextStoredReadingThenGivenUpOnce) {
    GapTracker t;
    t.stored(kLogger, at(10, 0));
    t.missed(kLogger, GapCause::NoAnswer, at(10, 1), 0);
    t.stored(kLogger, at(10, 5));
    const long long id = t.ready()[0].id;
    FillReport silent;
    for (int attempt = 1; attempt < GapTracker::kMaxAttempts; ++attempt) {
        EXPECT_EQ(t.filled(id, silent).outcome, FillOutcome::Retry);
        EXPECT_FALSE(t.hasReady());
        t.stored(kLogger, at(10, 5 + attempt));  // answers again: tried again
        EXPECT_TRUE(t.hasReady());
    }
    auto last = t.filled(id, silent);
    EXPECT_EQ(last.outcome, FillOutcome::GivenUp);
    ASSERT_TRUE(last.lost.has_value());
    EXPECT_TRUE(last.lost->unreachable);
    EXPECT_EQ(last.lost->first, at(10, 1));
    EXPECT_EQ(last.lost->last, at(10, 4));
    EXPECT_EQ(t.waiting(), 0u);
    EXPECT_FALSE(t.filled(id, silent).lost.has_value()) << "reported once";
}

TEST(GapTracker, PostponedWithoutAnAttemptAndForgotten) {
    GapTracker t;
    t.stored(kLogger, at(10, 0));
    t.missed(kLogger, GapCause::NotStored, at(10, 1), 0);
    t.stored(kLogger, at(10, 5));
    t.stored(kOther, at(10, 0));
    t.missed(kOther, GapCause::NotStored, at(10, 1), 0);
    const long long id = t.ready()[0].id;
    for (int i = 0; i < GapTracker::kMaxAttempts + 1; ++i) {
        t.postpone(id);
        EXPECT_FALSE(t.hasReady());
        t.stored(kLogger, at(10, 6 + i));
    }
    EXPECT_EQ(t.ready()[0].attempts, 0);
    t.forget(kLogger);
    EXPECT_EQ(t.waiting(), 0u);
    EXPECT_TRUE(t.isOpen(kOther));
    t.forget(kOther);
    EXPECT_FALSE(t.isOpen(kOther));
}

}  // namespace
}  // namespace tovanix::test
