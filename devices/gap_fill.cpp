#include "devices/gap_fill.h"

#include <algorithm>

namespace tovanix::devices {

namespace {

constexpr std::time_t kMinute = 60;

}  // namespace

std::optional<GapSpan> GapTracker::stored(GapKey key, std::time_t readingTime) {
    lastStored_[key] = readingTime;
    for (GapSpan& s : spans_) {
        if (s.key == key) s.ready = true;
    }
    auto it = open_.find(key);
    if (it == open_.end()) return std::nullopt;
    GapSpan span;
    span.id = nextId_++;
    span.key = key;
    span.from = it->second.from;
    span.to = readingTime;
    span.openedAt = it->second.openedAt;
    span.cause = it->second.cause;
    open_.erase(it);
    if (minutesInside(span.from, span.to)) spans_.push_back(span);
    return span;
}

bool GapTracker::missed(GapKey key, GapCause cause, std::time_t scanTime, std::time_t lastKnown) {
    if (open_.count(key) != 0) return false;
    auto last = lastStored_.find(key);
    // Nothing ever stored for it (a logger added at runtime): no start to
    // fetch from, and a gap from 1970 would report decades as lost.
    if (last == lastStored_.end() && lastKnown == 0) return false;
    Open o;
    o.from = last != lastStored_.end() ? last->second : lastKnown;
    o.openedAt = scanTime;
    o.cause = cause;
    open_.emplace(key, o);
    return true;
}

std::optional<GapSpan> GapTracker::openGap(GapKey key) const {
    auto it = open_.find(key);
    if (it == open_.end()) return std::nullopt;
    GapSpan s;
    s.key = key;
    s.from = it->second.from;
    s.openedAt = it->second.openedAt;
    s.cause = it->second.cause;
    return s;
}

std::vector<GapSpan> GapTracker::ready() const {
    std::vector<GapSpan> out;
    for (const GapSpan& s : spans_) {
        if (s.ready) out.push_back(s);
    }
    return out;
}

bool GapTracker::hasReady() const {
    return std::any_of(spans_.begin(), spans_.end(), [](const GapSpan& s) { return s.ready; });
}

FillResult GapTracker::filled(long long id, const FillReport& report) {
    FillResult result;
    auto it = std::find_if(spans_.begin(), spans_.end(), [&](const GapSpan& s) { return s.id == id; });
    if (it == spans_.end()) return result;
    GapSpan& span = *it;
    if (!report.answered || !report.complete) {
        if (++span.attempts < kMaxAttempts) {
            // Tried again once the logger's reading is stored again.
            span.ready = false;
            result.outcome = FillOutcome::Retry;
            return result;
        }
        result.outcome = FillOutcome::GivenUp;
        result.lost = LostSpan{span.key, span.from + kMinute, span.to - kMinute, true};
        spans_.erase(it);
        return result;
    }
    // Every record the logger still holds inside the span is stored now;
    // what it recorded before its oldest record is gone.
    const std::time_t step = std::max(1, report.intervalMinutes) * kMinute;
    std::time_t keptFrom = report.held > 0 ? report.oldest : span.to;
    if (report.held == 0 || keptFrom > span.from + step) {
        LostSpan lost{span.key, span.from + kMinute, std::min(keptFrom, span.to) - kMinute, false};
        if (lost.first <= lost.last) result.lost = lost;
    }
    spans_.erase(it);
    return result;
}

void GapTracker::postpone(long long id) {
    for (GapSpan& s : spans_) {
        if (s.id == id) s.ready = false;
    }
}

void GapTracker::forget(GapKey key) {
    lastStored_.erase(key);
    open_.erase(key);
    spans_.erase(std::remove_if(spans_.begin(), spans_.end(), [&](const GapSpan& s) { return s.key == key; }),
                 spans_.end());
}

}  // namespace tovanix::devices
