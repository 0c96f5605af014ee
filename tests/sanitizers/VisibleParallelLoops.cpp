// Linked into the test programs, qorfx and the frei0r adapter of the ThreadSanitizer build only. OpenCV's own worker pool (TBB)
// is not instrumented, so the sanitizer cannot see how it hands a loop's stripes to its threads
// and would report every parallel loop as a race. This backend runs the stripes on plain threads,
// which the sanitizer follows: races between stripes, and between effects on different host
// threads, stay visible, and only real ones are reported.

#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include <opencv2/core/parallel/parallel_backend.hpp>

namespace {

class ThreadPerWorkerLoops : public cv::parallel::ParallelForAPI {
public:
    void parallel_for(int tasks, FN_parallel_for_body_cb_t body, void* data) override {
        std::atomic<int> next{0};
        auto work = [&](int worker) {
            workerIndex() = worker;
            for (int task = next++; task < tasks; task = next++) body(task, task + 1, data);
        };
        std::vector<std::thread> helpers;
        for (int worker = 1; worker < std::min(threads_, tasks); ++worker) helpers.emplace_back(work, worker);
        work(0);
        for (auto& helper : helpers) helper.join();
    }
    int getThreadNum() const override { return workerIndex(); }
    int getNumThreads() const override { return threads_; }
    int setNumThreads(int threads) override {
        const int previous = threads_;
        threads_ = std::max(threads, 1);
        return previous;
    }
    const char* getName() const override { return "threads visible to ThreadSanitizer"; }

private:
    static int& workerIndex() {
        thread_local int index = 0;
        return index;
    }
    int threads_ = std::max(2, static_cast<int>(std::thread::hardware_concurrency()));
};

const bool kInstalled = [] {
    cv::parallel::setParallelForBackend(std::make_shared<ThreadPerWorkerLoops>());
    return true;
}();

}  // namespace
