#include "tools/qorfx/Progress.h"

#include <unistd.h>

#include <cstdio>
#include <string>

namespace qorfx {

namespace {

constexpr int kBarWidth = 30;
constexpr double kRedrawSeconds = 0.1;

}  // namespace

Progress::Progress(int total, bool show)
    : total_(total), show_(show && isatty(STDERR_FILENO)), start_(std::chrono::steady_clock::now()) {}

void Progress::frameDone() {
    std::lock_guard<std::mutex> lock(mutex_);
    ++done_;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    if (show_ && (seconds - drawnAt_ >= kRedrawSeconds || done_ == total_)) draw(seconds);
}

double Progress::finish() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (show_ && drawnAt_ >= 0.0) std::fprintf(stderr, "\r\033[K");
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

void Progress::draw(double seconds) {
    drawnAt_ = seconds;
    const int filled = total_ > 0 ? done_ * kBarWidth / total_ : kBarWidth;
    const double fps = seconds > 0.0 ? done_ / seconds : 0.0;
    const int left = fps > 0.0 ? static_cast<int>((total_ - done_) / fps + 0.5) : 0;
    std::fprintf(stderr, "\r[%s%s] %d/%d frames  %.1f fps  %d:%02d left\033[K", std::string(filled, '#').c_str(),
                 std::string(kBarWidth - filled, '.').c_str(), done_, total_, fps, left / 60, left % 60);
    std::fflush(stderr);
}

}  // namespace qorfx
