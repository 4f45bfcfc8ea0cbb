#include "progress.hpp"

#include <cstdio>

#include <unistd.h>

namespace tavtool {

namespace {
// Below this many steps the work ends before a bar would tell anything.
constexpr size_t kMinSteps = 200;
constexpr int kWidth = 40;
} // namespace

Progress::Progress(std::string title, size_t total)
    : title_(std::move(title)), total_(total), active_(total >= kMinSteps && isatty(STDERR_FILENO)) {}

Progress::~Progress() { erase(); }

void Progress::step(size_t done) {
    done_ = done;
    if (!active_ || total_ == 0)
        return;
    int percent = static_cast<int>(done_ * 100 / total_);
    if (percent != drawn_percent_) {
        drawn_percent_ = percent;
        draw();
    }
}

void Progress::note(const std::string& line) {
    erase();
    std::fprintf(stderr, "%s\n", line.c_str());
    if (drawn_percent_ >= 0)
        draw();
}

void Progress::draw() {
    if (!active_)
        return;
    int filled = drawn_percent_ * kWidth / 100;
    std::string bar(static_cast<size_t>(filled), '#');
    bar.append(static_cast<size_t>(kWidth - filled), '.');
    std::fprintf(stderr, "\r%s [%s] %3d%% (%zu/%zu)", title_.c_str(), bar.c_str(), drawn_percent_, done_, total_);
    std::fflush(stderr);
}

void Progress::erase() {
    if (active_ && drawn_percent_ >= 0) {
        std::fprintf(stderr, "\r\033[K");
        std::fflush(stderr);
    }
}

} // namespace tavtool
