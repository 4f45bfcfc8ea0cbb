// An owned reference to a library object, released when the holder goes.
#pragma once

#include <utility>

#include <tav/tav.h>

namespace tavtool {

class Owned {
public:
    Owned() = default;
    explicit Owned(ZTHANDLE h) : h_(h) {}
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    Owned(Owned&& o) noexcept : h_(std::exchange(o.h_, 0)) {}
    Owned& operator=(Owned&& o) noexcept {
        if (this != &o) {
            reset();
            h_ = std::exchange(o.h_, 0);
        }
        return *this;
    }
    ~Owned() { reset(); }

    ZTHANDLE get() const { return h_; }
    explicit operator bool() const { return h_ != 0; }
    // For out parameters of the creating functions.
    ZTHANDLE* out() {
        reset();
        return &h_;
    }
    void reset() {
        if (h_)
            ZtRelease(std::exchange(h_, 0));
    }

private:
    ZTHANDLE h_ = 0;
};

} // namespace tavtool
