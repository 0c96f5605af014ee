#pragma once
// A progress bar on the terminal for frame sequences: frames done of the total, frames per second
// and the time left. It draws only when stderr is a terminal; any thread may report a frame.

#include <chrono>
#include <mutex>

namespace qorfx {

class Progress {
public:
    Progress(int total, bool show);
    void frameDone();
    // Clears the bar; returns the seconds since the start.
    double finish();

private:
    void draw(double seconds);

    int total_;
    bool show_;
    int done_ = 0;
    std::chrono::steady_clock::time_point start_;
    double drawnAt_ = -1.0;
    std::mutex mutex_;
};

}  // namespace qorfx
