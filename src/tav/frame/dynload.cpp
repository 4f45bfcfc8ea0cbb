#include "tav/frame/dynload.hpp"

#include <dlfcn.h>

namespace base2 {
namespace {

// Opened under the thread-safe initialisation of a function-local static;
// closed at process exit.
class ImageLibraryModule {
public:
    ImageLibraryModule() : module_(dlopen("libztcimg.so.1", RTLD_NOW | RTLD_LOCAL)) {}
    ~ImageLibraryModule() {
        if (module_ != nullptr)
            dlclose(module_);
    }
    ImageLibraryModule(const ImageLibraryModule&) = delete;
    ImageLibraryModule& operator=(const ImageLibraryModule&) = delete;

    void* module() const { return module_; }

private:
    void* module_;
};

} // namespace

void* image_library_symbol(const char* name) {
    static ImageLibraryModule library;
    if (library.module() == nullptr)
        throw dynamic_load_error();
    void* symbol = dlsym(library.module(), name);
    if (symbol == nullptr)
        throw dynamic_resolution_error(name);
    return symbol;
}

} // namespace base2
