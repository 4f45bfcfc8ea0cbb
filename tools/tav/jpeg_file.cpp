#include "jpeg_file.hpp"

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>
#include <jerror.h>

#include "failure.hpp"

namespace tavtool {

namespace {

// Progressive files may hold any number of scans, each a pass over every
// coefficient; real encoders use about ten.
constexpr int kMaxScans = 200;

// Shared with libjpeg's callbacks. Errors leave by longjmp, so the frame
// they may leave holds nothing that needs a destructor; what must be freed
// is here and freed by the owner.
struct JpegState {
    jpeg_decompress_struct info;
    jpeg_error_mgr errors;
    jpeg_progress_mgr progress;
    std::jmp_buf jump;
    FILE* file = nullptr;
    unsigned char* pixels = nullptr;
    int width = 0, height = 0, channels = 0;
    uint64_t max_pixels = 0;
    char message[JMSG_LENGTH_MAX] = {};
    bool created = false;

    ~JpegState() {
        if (created)
            jpeg_destroy_decompress(&info);
        std::free(pixels);
        if (file)
            std::fclose(file);
    }
};

void on_error(j_common_ptr common) {
    auto* state = static_cast<JpegState*>(common->client_data);
    common->err->format_message(common, state->message);
    std::longjmp(state->jump, 1);
}

// Warnings about damage that libjpeg can decode past are not failures, but a
// file that ends early would give an image whose rest is made up.
void on_message(j_common_ptr common, int level) {
    if (level < 0 && common->err->msg_code == JWRN_JPEG_EOF) {
        auto* state = static_cast<JpegState*>(common->client_data);
        std::snprintf(state->message, sizeof state->message, "data ends early");
        std::longjmp(state->jump, 1);
    }
}

void on_progress(j_common_ptr common) {
    auto* info = reinterpret_cast<j_decompress_ptr>(common);
    if (info->input_scan_number > kMaxScans) {
        auto* state = static_cast<JpegState*>(common->client_data);
        std::snprintf(state->message, sizeof state->message, "more than %d scans", kMaxScans);
        std::longjmp(state->jump, 1);
    }
}

bool decode(JpegState* s) {
    s->info.err = jpeg_std_error(&s->errors);
    s->errors.error_exit = on_error;
    s->errors.emit_message = on_message;
    s->info.client_data = s;
    if (setjmp(s->jump))
        return false;
    jpeg_create_decompress(&s->info);
    s->created = true;
    s->progress.progress_monitor = on_progress;
    s->info.progress = &s->progress;
    jpeg_stdio_src(&s->info, s->file);
    jpeg_read_header(&s->info, TRUE);
    const auto space = s->info.jpeg_color_space;
    if (space == JCS_CMYK || space == JCS_YCCK) {
        std::snprintf(s->message, sizeof s->message, "CMYK images are not supported");
        return false;
    }
    s->info.out_color_space = space == JCS_GRAYSCALE ? JCS_GRAYSCALE : JCS_RGB;
    if (s->info.image_width > unsigned(kMaxImageSide) || s->info.image_height > unsigned(kMaxImageSide) ||
        uint64_t(s->info.image_width) * s->info.image_height > s->max_pixels) {
        std::snprintf(s->message, sizeof s->message, "image too large");
        return false;
    }
    // Progressive files are held whole as coefficients; beyond this libjpeg
    // fails (it has no backing store) rather than taking more.
    s->info.mem->max_memory_to_use = 1l << 30;
    jpeg_start_decompress(&s->info);
    s->width = static_cast<int>(s->info.output_width);
    s->height = static_cast<int>(s->info.output_height);
    s->channels = s->info.output_components;
    const size_t row = size_t(s->width) * size_t(s->channels);
    s->pixels = static_cast<unsigned char*>(std::malloc(row * size_t(s->height)));
    if (!s->pixels) {
        std::snprintf(s->message, sizeof s->message, "out of memory");
        return false;
    }
    while (s->info.output_scanline < s->info.output_height) {
        JSAMPROW line = s->pixels + row * s->info.output_scanline;
        jpeg_read_scanlines(&s->info, &line, 1);
    }
    // The rest of the file does not change the pixels.
    jpeg_abort_decompress(&s->info);
    return true;
}

} // namespace

Raster read_jpeg(const std::string& path, uint64_t max_pixels) {
    JpegState s;
    s.max_pixels = max_pixels;
    s.file = std::fopen(path.c_str(), "rb");
    if (!s.file)
        throw Failure("cannot open: " + system_error_text(errno));
    if (!decode(&s))
        throw Failure(std::string("JPEG file: ") + (s.message[0] ? s.message : "cannot read"));
    if (s.channels != 1 && s.channels != 3)
        throw Failure("JPEG file: unexpected number of channels");
    Raster r;
    r.width = s.width;
    r.height = s.height;
    r.channels = s.channels;
    r.samples.assign(s.pixels, s.pixels + size_t(s.width) * s.height * s.channels);
    return r;
}

} // namespace tavtool
