#include "pnm_file.hpp"

#include <cctype>

#include "failure.hpp"

namespace tavtool {

namespace {

class Cursor {
public:
    explicit Cursor(std::string_view bytes) : bytes_(bytes) {}

    // Skips white space and '#' comments between header fields.
    void skip_space() {
        while (pos_ < bytes_.size()) {
            unsigned char c = static_cast<unsigned char>(bytes_[pos_]);
            if (c == '#') {
                while (pos_ < bytes_.size() && bytes_[pos_] != '\n')
                    ++pos_;
            } else if (std::isspace(c)) {
                ++pos_;
            } else {
                return;
            }
        }
    }

    // A decimal number below `limit`.
    unsigned long number(unsigned long limit, const char* what) {
        skip_space();
        if (pos_ >= bytes_.size() || !std::isdigit(static_cast<unsigned char>(bytes_[pos_])))
            throw Failure(std::string("PNM file: missing ") + what);
        unsigned long v = 0;
        while (pos_ < bytes_.size() && std::isdigit(static_cast<unsigned char>(bytes_[pos_]))) {
            v = v * 10 + static_cast<unsigned long>(bytes_[pos_++] - '0');
            if (v > limit)
                throw Failure(std::string("PNM file: ") + what + " too large");
        }
        return v;
    }

    unsigned char byte() {
        if (pos_ >= bytes_.size())
            throw Failure("PNM file: pixel data ends early");
        return static_cast<unsigned char>(bytes_[pos_++]);
    }

    size_t remaining() const { return bytes_.size() - pos_; }

private:
    std::string_view bytes_;
    size_t pos_ = 0;
};

} // namespace

Raster decode_pnm(std::string_view bytes, uint64_t max_pixels) {
    if (bytes.size() < 2 || bytes[0] != 'P' || (bytes[1] != '2' && bytes[1] != '3' && bytes[1] != '5' &&
                                                 bytes[1] != '6'))
        throw Failure("not a PGM or PPM file");
    const bool plain = bytes[1] == '2' || bytes[1] == '3';
    Raster r;
    r.channels = (bytes[1] == '3' || bytes[1] == '6') ? 3 : 1;
    Cursor in(bytes.substr(2));
    r.width = static_cast<int>(in.number(kMaxImageSide, "width"));
    r.height = static_cast<int>(in.number(kMaxImageSide, "height"));
    const unsigned long maxval = in.number(65535, "maximum value");
    if (r.width < 1 || r.height < 1)
        throw Failure("PNM file: empty image");
    if (maxval < 1)
        throw Failure("PNM file: maximum value 0");
    const uint64_t count = uint64_t(r.width) * uint64_t(r.height) * uint64_t(r.channels);
    if (uint64_t(r.width) * uint64_t(r.height) > max_pixels)
        throw Failure("PNM file: image too large");
    const unsigned sample_bytes = maxval > 255 ? 2 : 1;
    if (plain) {
        // Each plain sample takes at least a digit and a separator, so the
        // file bounds the count before anything is allocated.
        if (count > in.remaining())
            throw Failure("PNM file: pixel data ends early");
    } else {
        in.byte(); // the single white-space byte after the header
        if (count * sample_bytes > in.remaining())
            throw Failure("PNM file: pixel data ends early");
    }
    // Samples of up to 8 bits span 0..255, wider ones 0..65535: a maxval of
    // 65535 or 255 keeps the file's numbers.
    r.bits = maxval > 255 ? 16 : 8;
    const unsigned long top = maxval > 255 ? 65535 : 255;
    r.samples.resize(count);
    for (auto& s : r.samples) {
        unsigned long v;
        if (plain)
            v = in.number(65535, "sample");
        else if (sample_bytes == 2) {
            v = static_cast<unsigned long>(in.byte()) << 8;
            v |= in.byte();
        } else
            v = in.byte();
        if (v > maxval)
            throw Failure("PNM file: sample above the maximum value");
        s = static_cast<uint16_t>((v * top + maxval / 2) / maxval);
    }
    return r;
}

} // namespace tavtool
