// The automatic gap fill on the polling thread: what each scan tells the gap
// tracker, and the fill of the spans it hands out with the history download,
// yielding to a scan that falls due between two blocks.
#include <algorithm>

#include "db/connection.h"
#include "devices/engine.h"
#include "devices/handler_pass.h"
#include "devices/polling_thread.h"
#include "platform/format.h"
#include "platform/local_time.h"

namespace tovanix::devices {

namespace {

std::string minuteText(std::time_t t) { return platform::formatLocal(t, "%Y-%m-%d %H:%M"); }

std::string who(const std::string& name, GapKey k) {
    return platform::format("%s (line %d, address %d)", name.c_str(), k.lineid, k.address);
}

}  // namespace

void CMyThread::noteStored(const DeviceEntry& d, int lineid, const std::string& readingTime) {
    const auto t = platform::parseLocalDateTime(readingTime);
    if (!t) return;
    const GapKey key{lineid, d.address};
    const auto span = gaps_.stored(key, *t);
    if (!span) return;
    if (minutesInside(span->from, span->to)) {
        engine_.log(platform::format("gap: %s: closed, readings after %s and before %s to be fetched from the logger",
                                     who(d.name, key).c_str(), minuteText(span->from).c_str(),
                                     minuteText(span->to).c_str()));
    } else {
        engine_.log(platform::format("gap: %s: closed, no reading missing", who(d.name, key).c_str()));
    }
}

void CMyThread::noteMissed(const DeviceEntry& d, int lineid, GapCause cause, const std::string& why) {
    const GapKey key{lineid, d.address};
    if (!gaps_.missed(key, cause, engine_.now(), d.downLastTime)) return;
    const auto gap = gaps_.openGap(key);
    engine_.log(platform::format("gap: %s %s: gap opened, readings after %s are missing", who(d.name, key).c_str(),
                                 why.c_str(), gap ? minuteText(gap->from).c_str() : "?"));
}

void CMyThread::queueFill() {
    if (fillQueued_ || !gaps_.hasReady() || engine_.stopping()) return;
    fillQueued_ = engine_.post(kMsgFillGaps);
}

void CMyThread::runDueScan() {
    if (!engine_.takeDueScan()) return;
    // The scan takes the loggers itself; the fill has them back afterwards.
    engine_.deviceEvent.set();
    scan();
    engine_.deviceEvent.wait();
    engine_.driverState.store(kStateReadingHistory);
}

BlockWalk CMyThread::yieldingWalk(int lineid, int address, bool& cut) {
    BlockWalk walk;
    walk.beforeBlock = [this, lineid, address, &cut](std::time_t) {
        runDueScan();
        if (engine_.stopping() || !engine_.table().device(lineid, address)) {
            cut = true;
            return false;
        }
        return true;
    };
    return walk;
}

void CMyThread::fillGaps() {
    fillQueued_ = false;
    const std::vector<GapSpan> spans = gaps_.ready();
    if (spans.empty()) return;
    // Before the state code leaves idle, so the timer never skips a scan
    // that falls due while the fill starts.
    engine_.beginFill();
    {
        Pass pass(engine_.deviceEvent, engine_.driverState, kStateReadingHistory);
        db::Connection c;
        if (!c.open()) {
            engine_.log("gap: database unreachable, the fill waits for the next stored reading");
            for (const GapSpan& s : spans) gaps_.postpone(s.id);
        } else {
            // One span per message: requests queued meanwhile (limit writes,
            // clock setting, line deletion) run before the next span, within
            // their time-out; queueFill() posts again while spans remain.
            if (!engine_.stopping()) {
                fillSpan(c, spans.front());
                runDueScan();
            }
        }
    }
    if (engine_.endFill() && !engine_.stopping()) engine_.post(kMsgScan);
    queueFill();
}

void CMyThread::fillSpan(db::Connection& c, const GapSpan& span) {
    const auto line = engine_.table().line(span.key.lineid);
    const auto dev = engine_.table().device(span.key.lineid, span.key.address);
    if (!line || !dev || line->wired == 0 || !line->portOpen) {
        // Deleted, or its line's port closed: nothing to fetch it from.
        gaps_.forget(span.key);
        return;
    }
    HistoryRequest range;
    range.start = span.from;
    range.end = span.to;
    bool cut = false;
    BlockWalk walk = yieldingWalk(span.key.lineid, span.key.address, cut);
    walk.newestFirst = true;
    walk.beforeBlock = [yield = walk.beforeBlock, &span](std::time_t lastBlockOldest) {
        // Records run oldest first: a block that starts at or before the gap
        // holds its first records, and the blocks before it nothing of it.
        return yield(lastBlockOldest) && (lastBlockOldest == 0 || lastBlockOldest > span.from);
    };
    FillReport report;
    report.fetched = downloadDevice(&c, line->port, span.key.lineid, span.key.address, range, &walk);
    if (walk.gone) {
        gaps_.forget(span.key);
        return;
    }
    report.answered = walk.answered;
    report.complete = walk.complete() && !cut;
    report.held = walk.count;
    report.oldest = walk.oldest;
    report.intervalMinutes = std::max(1, walk.interval);

    const std::string name = who(dev->name, span.key);
    const std::string between = minuteText(span.from) + " and " + minuteText(span.to);
    const FillResult result = gaps_.filled(span.id, report);
    switch (result.outcome) {
        case FillOutcome::Done:
            engine_.log(platform::format("gap: %s: %d records fetched between %s", name.c_str(), report.fetched,
                                         between.c_str()));
            break;
        case FillOutcome::Retry:
            engine_.log(platform::format("gap: %s: fill between %s incomplete (%s), %d records fetched; tried again "
                                         "after its next reading",
                                         name.c_str(), between.c_str(),
                                         !walk.answered           ? "no answer"
                                         : walk.badOldest         ? "implausible oldest record time"
                                         : walk.paused            ? "storing paused"
                                         : walk.failedStores > 0 ? "records not stored"
                                         : cut                    ? "stopped"
                                                                  : "blocks unreadable",
                                         report.fetched));
            break;
        case FillOutcome::GivenUp:
            engine_.log(platform::format("gap: %s: fill between %s given up after %d attempts", name.c_str(),
                                         between.c_str(), GapTracker::kMaxAttempts));
            break;
    }
    if (!result.lost) return;
    const LostSpan& lost = *result.lost;
    const std::string first = minuteText(lost.first), last = minuteText(lost.last);
    if (lost.unreachable) {
        engine_.log(platform::format("gap: %s: records from %s to %s could not be fetched: they are missing",
                                     name.c_str(), first.c_str(), last.c_str()));
        engine_.setGapNotice(platform::format("%s %s至%s的记录未能补传", dev->name.c_str(), first.c_str(),
                                              last.c_str()));
    } else {
        engine_.log(platform::format("gap: %s: records from %s to %s are no longer in the logger (memory overwritten "
                                     "or cleared): they are missing",
                                     name.c_str(), first.c_str(), last.c_str()));
        engine_.setGapNotice(platform::format("%s %s至%s的记录已不在记录仪中", dev->name.c_str(), first.c_str(),
                                              last.c_str()));
    }
}

}  // namespace tovanix::devices
