// How far a rebuild has come, for a person to read: the entries recorded so far and the time it has taken,
// redrawn at most ten times a second, whatever the walk's pace.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>

namespace trovander {

class RebuildProgress {
  public:
    // Ten redraws a second are as many as anyone reads; more would cost the walk for nothing.
    static constexpr int64_t kIntervalMs = 100;
    using Clock = std::function<int64_t()>;  // a monotonic clock in milliseconds

    explicit RebuildProgress(Clock clockMs = {});

    // A rebuild begins: the time counts from here and the next report is drawn at once.
    void start();
    // Called after each folder: true when a redraw is due (at least kIntervalMs since the last one).
    bool due();
    int64_t elapsedMs() const;
    // "12,345 entries so far" and "0:07 elapsed" on two lines, in the user's number form.
    QString text(uint64_t records) const;

  private:
    Clock clock_;
    int64_t startMs_ = 0;
    int64_t lastMs_ = 0;
    bool drawn_ = false;
};

}  // namespace trovander
