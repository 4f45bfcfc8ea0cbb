/* Built against nothing but an installed prefix: the headers and the three
 * libraries must be enough for an outside C program. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <tav/tav.h>

static int handler_calls;
static void on_error(void* context, int32_t code, const char* message, const char* function) {
    (void)context;
    (void)message;
    (void)function;
    if (code < 0)
        ++handler_calls;
}

#define CHECK(cond)                                                    \
    do {                                                               \
        if (!(cond)) {                                                 \
            fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            return 1;                                                  \
        }                                                              \
    } while (0)

int main(void) {
    /* Interface identifiers: five, distinct, nonzero. */
    uint32_t kinds[5] = {1, 2, 4, 8, 16};
    for (int i = 0; i < 5; ++i) {
        CHECK(TavGetInterfaceID(kinds[i]) != 0);
        for (int j = 0; j < i; ++j)
            CHECK(TavGetInterfaceID(kinds[i]) != TavGetInterfaceID(kinds[j]));
    }
    CHECK(TavGetInterfaceID(3) == 0);

    /* Images: pixels, a stored blob and its load. */
    ZTIMAGE image = ZtImageCreate(5, 4, 2, ZT_DT_U8);
    CHECK(image != 0);
    CHECK(ZtImageSetPixel(image, 1, 3, 2, 200.0) == 0);
    double value = 0;
    CHECK(ZtImageGetPixel(image, 1, 3, 2, &value) == 0 && value == 200.0);
    uint64_t size = ZtImageStoredSize(image);
    CHECK(size > 0);
    void* blob = malloc(size);
    CHECK(ZtImageWriteToMemory(image, blob, size) != 0);
    ZTIMAGE loaded = 0;
    CHECK(ZtImageLoadFromMemory(blob, size, &loaded) != 0 && loaded != 0);
    CHECK(ZtImageGetPixel(loaded, 1, 3, 2, &value) == 0 && value == 200.0);
    ZTIMAGE none = 0;
    CHECK(ZtImageLoadFromMemory(blob, size - 1, &none) == 0 && none == 0);
    free(blob);
    ZtImageReleaseHandle(&loaded);
    ZtImageReleaseHandle(&image);
    CHECK(image == 0);

    /* Every report reaches the handler and the last-error call. */
    ZtSetErrorHandler(on_error, NULL);
    uint64_t before = ZtErrorReportCount();
    CHECK(IsTav(0) == 0);
    CHECK(ZtErrorReportCount() == before); /* the type tests report nothing */
    ZtReportErrorWithMessage((int32_t)0x80000003u, "a message", "SomeFunction");
    const char* function = NULL;
    const char* message = NULL;
    CHECK(ZtGetLastError(&function, &message) == (int32_t)0x80000003u);
    CHECK(strcmp(function, "SomeFunction") == 0 && strcmp(message, "a message") == 0);
    CHECK(handler_calls == 1);
    ZtSetErrorHandler(NULL, NULL);
    puts("consumer ok");
    return 0;
}
