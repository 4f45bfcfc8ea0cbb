#pragma once
// The five interfaces of library objects. Each lists exactly one interface
// (its own) and answers its object kind; concrete classes live in types/,
// samples/ and list/.
#include <cstdint>
#include <optional>
#include <vector>

#include <zt/ztbase.h>

#include "tav/frame/holders.hpp"
#include "tav/frame/object_base.hpp"
#include "tav/xriff/streamable.hpp"

namespace Korvu2::TAV::Objects {

class ITavData;
class ITavLabel;

// Comparison results shared by every Compare: only 0 means equal.
enum CompareResult : int32_t { CompareEqual = 0, CompareDifferent = -1, CompareOtherClass = 1 };

class ITavDataType : public ZTK::IDisposableType, public ITavObject, public vxIO::ixriff_streamable {
public:
    int32_t GetInterfaces(ZTK::ZtInterfacePair* pairs, uint64_t* count) override;
    int32_t ObjectKind() const override { return KindDataType; }
    virtual int32_t Compare(const ITavDataType& other) const = 0;
    // 0 for images, 1 for float vectors.
    virtual int32_t TypeEnum() const = 0;
};

class ITavLabelType : public ZTK::IDisposableType, public ITavObject, public vxIO::ixriff_streamable {
public:
    int32_t GetInterfaces(ZTK::ZtInterfacePair* pairs, uint64_t* count) override;
    int32_t ObjectKind() const override { return KindLabelType; }
    virtual int32_t Compare(const ITavLabelType& other) const = 0;
    // 0 for strings, 1 for float vectors.
    virtual int32_t TypeEnum() const = 0;
};

class ITavLabel : public ZTK::IDisposableType,
                  public ITavObject,
                  public UniqueObject,
                  public vxIO::ixriff_streamable {
public:
    ~ITavLabel() override;
    int32_t GetInterfaces(ZTK::ZtInterfacePair* pairs, uint64_t* count) override;
    int32_t ObjectKind() const override { return KindLabel; }

    virtual int32_t Compare(const ITavLabel& other) const = 0;
    virtual bool VerifyCompatibility(const ITavLabelType& type) const = 0;
    // Same class, equal value, new unique number, no data references. The
    // excluded flag is kept by string labels and cleared by vector labels.
    virtual SharedHandle<ITavLabel> Clone() const = 0;
    // Strict order among labels of the same class.
    virtual bool IsLess(const ITavLabel& other) const = 0;
    // A compact stand-in for IsLess, or none. For labels a and b that fit the
    // same label type and both have keys: key(a) < key(b) means a.IsLess(b)
    // and not b.IsLess(a) (and the reverse); equal keys decide nothing.
    virtual std::optional<uint64_t> OrderKey() const noexcept { return std::nullopt; }

    bool Excluded() const { return excluded_; }
    void SetExcluded(bool excluded) { excluded_ = excluded; }

    // The data items of a list that carry this label, in the order added.
    // Link references: they never keep the data alive. Kept by the list.
    std::vector<LinkHandle<ITavData>>& DataReferences() { return data_references_; }
    const std::vector<LinkHandle<ITavData>>& DataReferences() const { return data_references_; }

private:
    bool excluded_ = false;
    std::vector<LinkHandle<ITavData>> data_references_;
};

class ITavData : public ZTK::IDisposableType, public ITavObject, public UniqueObject, public vxIO::ixriff_streamable {
public:
    int32_t GetInterfaces(ZTK::ZtInterfacePair* pairs, uint64_t* count) override;
    int32_t ObjectKind() const override { return KindData; }

    virtual int32_t Compare(const ITavData& other) const = 0;
    virtual bool VerifyCompatibility(const ITavDataType& type) const = 0;
    // Same class, equal content, new unique number, no label link.
    virtual SharedHandle<ITavData> Clone() const = 0;

    // The label this item carries in a list: a link reference, set by the list.
    const LinkHandle<ITavLabel>& LabelLink() const { return label_; }
    void SetLabelLink(LinkHandle<ITavLabel> label) { label_ = std::move(label); }
    // Follows the label link; empty when there is none or it has gone.
    SharedHandle<ITavLabel> Label() const;

private:
    LinkHandle<ITavLabel> label_;
};

// The list interface; CSampleImageList implements it in four forms.
class ITav : public ZTK::IDisposableType, public ITavObject {
public:
    int32_t GetInterfaces(ZTK::ZtInterfacePair* pairs, uint64_t* count) override;
    int32_t ObjectKind() const override { return KindList; }
};

} // namespace Korvu2::TAV::Objects

namespace Korvu2::TAV {
template <>
struct interface_family<Objects::ITav> {
    static constexpr Family value = Family::List;
};
template <>
struct interface_family<Objects::ITavData> {
    static constexpr Family value = Family::Data;
};
template <>
struct interface_family<Objects::ITavLabel> {
    static constexpr Family value = Family::Label;
};
template <>
struct interface_family<Objects::ITavDataType> {
    static constexpr Family value = Family::DataType;
};
template <>
struct interface_family<Objects::ITavLabelType> {
    static constexpr Family value = Family::LabelType;
};
} // namespace Korvu2::TAV
