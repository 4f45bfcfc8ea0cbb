// Progress on standard error, shown only when it is a terminal: the count,
// the rate and the time left, redrawn a few times a second.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

namespace tavtool {

class Progress {
public:
    // `unit` names what is counted ("images").
    Progress(std::string title, size_t total, std::string unit = "items");
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    void step(size_t done);
    // Prints a message on a line of its own without tearing the progress line.
    void note(const std::string& line);

private:
    using Clock = std::chrono::steady_clock;
    void draw();
    void erase();

    std::string title_, unit_;
    size_t total_;
    size_t done_ = 0;
    bool active_;
    bool drawn_ = false;
    Clock::time_point start_, last_draw_;
};

} // namespace tavtool
