/* Linked with nothing but -ltav: loads a list of two equal images (made by the
 * installed tool), compares them, which looks up the image library's
 * functions at run time, and releases the list through the release function
 * libtav's own dependencies bring in. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>

#include <tav/tav.h>

int main(int argc, char** argv) {
    TAV list = 0;
    if (argc != 2 || TavLoad(argv[1], &list) != 0 || TavGetNumDataEntries(list) != 2) {
        fprintf(stderr, "cannot load the list\n");
        return 1;
    }
    int32_t same = TavCompareData(TavGetData(list, 0), TavGetData(list, 1));
    void (*release)(ZTHANDLE) = (void (*)(ZTHANDLE))dlsym(RTLD_DEFAULT, "ZtRelease");
    if (release != NULL)
        release(list);
    if (same < 0 || release == NULL) {
        fprintf(stderr, "comparing the images gave %d\n", (int)same);
        return 1;
    }
    return 0;
}
