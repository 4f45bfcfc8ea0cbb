#pragma once
// A test object living in base-object storage that counts its disposals and
// can run a hook while it is being disposed.
#include <atomic>
#include <functional>
#include <new>
#include <vector>

#include <zt/ztbase.h>

namespace ztbase_test {

inline uint64_t test_iid() {
    static const uint64_t id = ZtRegisterInterface("ZTBASE.TEST.OBJECT");
    return id;
}

class TestObject : public ZTK::IDisposableType {
public:
    explicit TestObject(std::atomic<int>* disposals) : disposals_(disposals) {
        listing_.push_back({test_iid(), this});
    }
    int32_t GetInterfaces(ZTK::ZtInterfacePair* pairs, uint64_t* count) override {
        if (fail_listing_)
            return static_cast<int32_t>(0x80000001u);
        if (!pairs) {
            *count = listing_.size();
            return 0;
        }
        if (*count < listing_.size())
            return static_cast<int32_t>(0x80000002u);
        for (size_t i = 0; i < listing_.size(); ++i)
            pairs[i] = listing_[i];
        *count = listing_.size();
        return 0;
    }
    void Dispose() override {
        ++*disposals_;
        if (on_dispose_)
            on_dispose_();
        this->~TestObject();
    }

    std::vector<ZTK::ZtInterfacePair> listing_;
    std::function<void()> on_dispose_;
    bool fail_listing_ = false;

private:
    std::atomic<int>* disposals_;
};

// A bound handle with one reference; *object (if asked) is the object.
inline ZTHANDLE make_test_object(std::atomic<int>& disposals, TestObject** object = nullptr) {
    void* storage = nullptr;
    ZTHANDLE h = ZtCreateObjectStorage(sizeof(TestObject), &storage);
    if (h == 0 || !storage)
        return 0;
    auto* made = ::new (storage) TestObject(&disposals);
    if (ZtBindImplementation(h, static_cast<ZTK::IDisposableType*>(made)) != 0)
        return 0;
    if (object)
        *object = made;
    return h;
}

} // namespace ztbase_test
