#pragma once
// The handles that no function taking a handle of one family may accept:
// null, a released handle of that family, a made-up value, and live objects
// of other families. Owns the objects it is given.
#include <initializer_list>
#include <string>
#include <vector>

#include <zt/ztbase.h>

namespace tav_test {

struct BadHandle {
    std::string what;
    ZTHANDLE handle;
};

class BadHandles {
public:
    // sameFamily is released at once; otherFamilies are released at the end.
    BadHandles(ZTHANDLE sameFamily, std::initializer_list<BadHandle> otherFamilies) : others_(otherFamilies) {
        ZtRelease(sameFamily);
        all_ = {{"null", 0}, {"released", sameFamily}, {"made up", 0xDEADBEEF12345678ull}};
        all_.insert(all_.end(), others_.begin(), others_.end());
    }
    ~BadHandles() {
        for (const BadHandle& b : others_)
            ZtRelease(b.handle);
    }
    BadHandles(const BadHandles&) = delete;
    BadHandles& operator=(const BadHandles&) = delete;

    const std::vector<BadHandle>& all() const { return all_; }
    // The live objects keep exactly the caller's one reference.
    bool others_untouched() const {
        for (const BadHandle& b : others_)
            if (ZtRefCount(b.handle) != 1)
                return false;
        return true;
    }

private:
    std::vector<BadHandle> others_;
    std::vector<BadHandle> all_;
};

} // namespace tav_test
