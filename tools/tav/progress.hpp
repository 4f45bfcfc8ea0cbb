// A progress bar on standard error, drawn only when it is a terminal and the
// work is long enough to be worth watching.
#pragma once

#include <cstddef>
#include <string>

namespace tavtool {

class Progress {
public:
    Progress(std::string title, size_t total);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    void step(size_t done);
    // Prints a message on a line of its own without tearing the bar.
    void note(const std::string& line);

private:
    void draw();
    void erase();

    std::string title_;
    size_t total_;
    size_t done_ = 0;
    int drawn_percent_ = -1;
    bool active_;
};

} // namespace tavtool
