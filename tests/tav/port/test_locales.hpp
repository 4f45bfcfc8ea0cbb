#pragma once
// Locales for the narrow-text tests, set on the calling thread only. A locale
// the machine lacks is compiled once with localedef into a directory under
// /tmp and loaded from there through LOCPATH, which newlocale reads per call.
#include <cstdlib>
#include <filesystem>
#include <string>

#include <langinfo.h>
#include <locale.h>
#include <unistd.h>
#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace tav_port_test {

// ISO-8859-1: installed, or compiled from en_US; null when neither can be had.
inline locale_t make_latin1_locale() {
    const std::string name = "en_US.ISO-8859-1";
    auto checked = [](locale_t l) {
        if (l && std::string(nl_langinfo_l(CODESET, l)) != "ISO-8859-1") {
            freelocale(l);
            return locale_t{};
        }
        return l;
    };
    if (locale_t installed = checked(newlocale(LC_ALL_MASK, name.c_str(), nullptr)))
        return installed;
    namespace fs = std::filesystem;
    const fs::path root = fs::temp_directory_path() / ("tav-port-locales-" + std::to_string(getuid()));
    std::error_code ec;
    if (!fs::exists(root / name, ec)) {
        // Compiled aside and renamed into place, so that test processes
        // running side by side never load a half-written locale.
        fs::create_directories(root, ec);
        const fs::path scratch = root / (name + ".tmp" + std::to_string(getpid()));
        if (std::system(("localedef -c -i en_US -f ISO-8859-1 '" + scratch.string() + "' >/dev/null 2>&1").c_str()) != -1)
            fs::rename(scratch, root / name, ec);
        fs::remove_all(scratch, ec);
    }
    const char* old = std::getenv("LOCPATH");
    const std::string saved = old ? old : "";
    setenv("LOCPATH", root.c_str(), 1);
#if defined(__SANITIZE_ADDRESS__)
    // glibc keeps the parsed LOCPATH with the loaded locale data for good.
    __lsan::ScopedDisabler keep_glibc_path;
#endif
    locale_t made = checked(newlocale(LC_ALL_MASK, name.c_str(), nullptr));
    old ? setenv("LOCPATH", saved.c_str(), 1) : unsetenv("LOCPATH");
    return made;
}

inline locale_t latin1_locale() {
    static locale_t locale = make_latin1_locale();
    return locale;
}

inline locale_t utf8_locale() {
    static locale_t locale = newlocale(LC_ALL_MASK, "C.UTF-8", nullptr);
    return locale;
}

// Makes `locale` the calling thread's locale for its lifetime.
class ThreadLocale {
public:
    explicit ThreadLocale(locale_t locale) : previous_(uselocale(locale)) {}
    ~ThreadLocale() { uselocale(previous_); }
    ThreadLocale(const ThreadLocale&) = delete;
    ThreadLocale& operator=(const ThreadLocale&) = delete;

private:
    locale_t previous_;
};

} // namespace tav_port_test
