/* Linked with only -ltav: loads the tool's list of two equal images and
 * compares them, which opens the image library at run time. */
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
