#include "progress.hpp"

#include <cstdio>

#include <unistd.h>

namespace tavtool {

namespace {
// The line changes at most this often.
constexpr auto kRedraw = std::chrono::milliseconds(250);

std::string duration_text(double seconds) {
    const long s = static_cast<long>(seconds + 0.5);
    char text[32];
    if (s >= 3600)
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    else
        std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
    return text;
}
} // namespace

Progress::Progress(std::string title, size_t total, std::string unit)
    : title_(std::move(title)), unit_(std::move(unit)), total_(total), active_(isatty(STDERR_FILENO) == 1),
      start_(Clock::now()), last_draw_(start_) {}

Progress::~Progress() { erase(); }

void Progress::step(size_t done) {
    done_ = done;
    if (!active_)
        return;
    const auto now = Clock::now();
    if (drawn_ && now - last_draw_ < kRedraw)
        return;
    last_draw_ = now;
    draw();
}

void Progress::note(const std::string& line) {
    erase();
    std::fprintf(stderr, "%s\n", line.c_str());
    if (drawn_)
        draw();
}

void Progress::draw() {
    const double seconds = std::chrono::duration<double>(Clock::now() - start_).count();
    const double rate = seconds > 0 ? double(done_) / seconds : 0;
    std::string line = title_ + ": " + std::to_string(done_) + "/" + std::to_string(total_) + " " + unit_;
    char text[64];
    std::snprintf(text, sizeof text, ", %.1f/s", rate);
    line += text;
    if (rate > 0 && done_ < total_)
        line += ", " + duration_text(double(total_ - done_) / rate) + " left";
    std::fprintf(stderr, "\r\033[K%s", line.c_str());
    std::fflush(stderr);
    drawn_ = true;
}

void Progress::erase() {
    if (active_ && drawn_) {
        std::fprintf(stderr, "\r\033[K");
        std::fflush(stderr);
    }
}

} // namespace tavtool
