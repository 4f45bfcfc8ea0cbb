#pragma once
// The two roots every library object shares besides IDisposableType: the
// object kind, and (for data and labels) the unique number.
#include <cstdint>

#include <boost/noncopyable.hpp>
#include <zt/ztbase.h>

namespace Korvu2::TAV::Objects {

enum ObjectKind : int32_t { KindData = 0, KindLabel = 1, KindDataType = 2, KindLabelType = 3, KindList = 4 };

class ITavObject : private boost::noncopyable {
public:
    virtual int32_t ObjectKind() const = 0;

protected:
    ~ITavObject() = default;
};

// A number no other call in the process returns, from a process-wide counter
// starting at 1. The counter is atomic: numbers identify data items in stored
// files, so two threads building different lists must never draw the same
// one. Each thread draws runs of numbers from it, so numbers increase within
// a thread but not across threads.
uint64_t next_unique_number();

class UniqueObject : private boost::noncopyable {
public:
    UniqueObject() : unique_number_(next_unique_number()) {}
    uint64_t UniqueNumber() const { return unique_number_; }

private:
    uint64_t unique_number_;
};

// Writes the single (identifier, pointer) pair every library object lists,
// with the protocol of IDisposableType::GetInterfaces.
int32_t list_single_interface(ZTK::ZtInterfacePair* pairs, uint64_t* count, uint64_t iid, void* iface);

} // namespace Korvu2::TAV::Objects
