#include "tav/import/korvu1_reader.hpp"

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <utility>
#include <vector>

#include <boost/filesystem.hpp>

#include "tav/frame/exceptions.hpp"
#include "tav/port/paths.hpp"

namespace Korvu2::Korvu1 {
namespace {

constexpr char kHeader[] = "SAMPLEIMAGELIST                 ";
static_assert(sizeof(kHeader) == 33);

constexpr char kNotKorvu1[] = "specified file is not a Korvu 1 Sample Image List";
constexpr char kEndOfFile[] = "end of file encountered before reading finished";
constexpr uint32_t kFileErrorCode = 3;

// When the stream's size is unknown, long records are read in steps of this
// size, so memory grows only with bytes that really arrived.
constexpr size_t kReadStep = size_t{1} << 16;

// Records 12 to 14 together take 512 bytes; the excluded class index, where
// present, comes out of the reserved block.
constexpr size_t kOptionBytes = 4;
constexpr size_t kReservedWithoutExcluded = 508;
constexpr size_t kReservedWithExcluded = 504;

struct EndOfInput : std::runtime_error {
    EndOfInput() : std::runtime_error("passed end of file") {}
};

// The bytes of the stream as little-endian fields. Every length is checked
// against what the stream still holds (when that can be known) before any
// memory is taken for it.
class Source {
public:
    explicit Source(std::istream& in) : in_(in) { Measure(); }

    void Read(void* out, size_t n) {
        if (known_ && n > remaining_) throw EndOfInput();
        in_.read(static_cast<char*>(out), static_cast<std::streamsize>(n));
        if (static_cast<size_t>(in_.gcount()) != n) throw EndOfInput();
        if (known_) remaining_ -= n;
    }

    uint32_t U32() {
        unsigned char b[4];
        Read(b, sizeof b);
        return uint32_t{b[0]} | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 | uint32_t{b[3]} << 24;
    }

    int32_t I32() { return static_cast<int32_t>(U32()); }

    double F64() {
        const uint64_t low = U32();
        const uint64_t high = U32();
        double value;
        const uint64_t bits = low | high << 32;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }

    // n bytes into a fresh buffer; n is trusted only as far as the stream backs it.
    std::vector<char> Block(uint32_t n) {
        std::vector<char> bytes;
        if (known_) {
            if (n > remaining_) throw EndOfInput();
            bytes.resize(n);
            Read(bytes.data(), n);
            return bytes;
        }
        while (bytes.size() < n) {
            const size_t done = bytes.size();
            const size_t step = std::min<size_t>(n - done, kReadStep);
            bytes.resize(done + step);
            Read(bytes.data() + done, step);
        }
        return bytes;
    }

    // A string record: the text ends at the record's end or its first zero byte.
    std::string String() {
        const std::vector<char> bytes = Block(U32());
        const auto end = std::find(bytes.begin(), bytes.end(), '\0');
        return std::string(bytes.begin(), end);
    }

    OpaqueRecord Opaque() {
        OpaqueRecord record;
        Read(record.head.data(), record.head.size());
        record.tail = I32();
        return record;
    }

private:
    void Measure() {
        try {
            const std::streampos here = in_.tellg();
            if (here == std::streampos(-1)) return;
            in_.seekg(0, std::ios::end);
            const std::streampos end = in_.tellg();
            in_.seekg(here);
            if (in_ && end != std::streampos(-1) && end >= here) {
                remaining_ = static_cast<uint64_t>(end - here);
                known_ = true;
                return;
            }
        } catch (const std::ios_base::failure&) {
        }
        // Not seekable: read on and let the stream's end speak.
        known_ = false;
        in_.clear();
    }

    std::istream& in_;
    uint64_t remaining_ = 0;
    bool known_ = false;
};

// A loaded image owned by the reader for the length of one visitor call.
class OwnedImage {
public:
    OwnedImage() = default;
    OwnedImage(const OwnedImage&) = delete;
    OwnedImage& operator=(const OwnedImage&) = delete;
    ~OwnedImage() {
        if (view_.handle != 0) ZtRelease(view_.handle);
    }

    // An image record: size 0, or bytes that do not load, give no image.
    void Load(Source& source) {
        const uint32_t size = source.U32();
        if (size == 0) return;
        const std::vector<char> bytes = source.Block(size);
        ZTIMAGE handle = 0;
        const int32_t loaded = ZtImageLoadFromMemory(bytes.data(), size, &handle);
        if (handle == 0) return;
        view_.handle = handle;
        void* iface = nullptr;
        if (loaded == 0 || ZtQueryInterface(handle, ZT_IMAGE_INTERFACE_ID, &iface) < 0 || iface == nullptr) {
            ZtRelease(handle);
            view_ = {};
            return;
        }
        view_.image = static_cast<ZTK::IZtImage*>(iface);
    }

    const Korvu1Image& view() const noexcept { return view_; }

private:
    Korvu1Image view_;
};

void Walk(Source& source, Korvu1TAVBase& visitor) {
    std::array<char, 32> header;
    source.Read(header.data(), header.size());
    if (std::memcmp(header.data(), kHeader, header.size()) != 0) throw ZtkException(kFileErrorCode, kNotKorvu1);

    visitor.SetVersion(source.F64());
    visitor.OnDescription(source.String());

    // Braced lists evaluate left to right, which is the field order of the file.
    const FeatureWindowRecord window{source.I32(), source.I32(), source.I32(), source.I32(), source.I32()};
    visitor.OnFeatureWindow(window);

    // Counts come from the file: loop, never reserve.
    const uint32_t classCount = source.U32();
    for (uint32_t i = 0; i < classCount; ++i) visitor.OnClassName(source.String());

    visitor.OnHeaderWord(source.U32());
    const TransformLimitsRecord limits{source.I32(), source.I32(), source.I32()};
    visitor.OnTransformLimits(limits);
    visitor.OnSecondRecord(source.Opaque());

    if (visitor.IsVersionAtLeast(1.4)) visitor.OnExtraRecord(source.Opaque());
    if (visitor.IsVersionAtLeast(1.1)) {
        OwnedImage mask;
        mask.Load(source);
        visitor.OnMaskImage(mask.view());
    }

    std::array<unsigned char, kOptionBytes> options;
    source.Read(options.data(), options.size());
    for (size_t i = 0; i < options.size(); ++i) {
        if (options[i] != 0) visitor.OnOption(uint32_t{1} << i);
    }
    if (visitor.QueryOptionOne() == 0) visitor.OnOption(1);

    size_t reserved = kReservedWithoutExcluded;
    if (visitor.IsVersionAtLeast(1.2)) {
        visitor.OnExcludedClass(source.I32());
        reserved = kReservedWithExcluded;
    }
    std::array<char, kReservedWithoutExcluded> skipped;
    source.Read(skipped.data(), reserved);

    const uint32_t sampleCount = source.U32();
    for (uint32_t i = 0; i < sampleCount; ++i) {
        OwnedImage image;
        image.Load(source);
        const uint32_t firstWord = source.U32();
        const uint32_t secondWord = source.U32();
        const int64_t classIndex = source.I32();
        visitor.OnSample(classIndex, image.view(), firstWord, secondWord);
    }
}

} // namespace

void Korvu1Reader::OpenAndRead(const std::u16string& path, Korvu1TAVBase& visitor) {
    namespace fs = boost::filesystem;
    if (path.empty()) throw std::runtime_error("no file name");

    // A zero unit would cut the name short and so name some other file.
    if (path.find(u'\0') != std::u16string::npos) throw ZtkException(kFileErrorCode, "file not found");
    const std::string native = TAV::port::wide_path_to_fs(path);
    boost::system::error_code ignored;
    const fs::file_status status = fs::status(fs::path(native), ignored);
    if (status.type() == fs::status_error || status.type() == fs::file_not_found)
        throw ZtkException(kFileErrorCode, "file not found");

    // A file that cannot be opened (a directory among them) has no header.
    std::ifstream in;
    if (status.type() != fs::directory_file) in.open(native, std::ios::in | std::ios::binary);
    if (!in.is_open()) throw ZtkException(kFileErrorCode, kNotKorvu1);
    Read(in, visitor);
}

void Korvu1Reader::Read(std::istream& in, Korvu1TAVBase& visitor) {
    try {
        Source source(in);
        Walk(source, visitor);
    } catch (const ZtkException&) {
        throw;
    } catch (const std::exception&) {
        throw ZtkException(kFileErrorCode, kEndOfFile);
    }
}

} // namespace Korvu2::Korvu1
