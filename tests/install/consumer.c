/* Built against nothing but an installed prefix: the headers and the three
 * libraries must be enough for an outside C program. */
#include <stdio.h>
#include <string.h>

#include <tav/tav.h>

static int handler_calls;
static void on_error(void* context, int32_t code, const char* message, const char* function) {
    (void)context, (void)code, (void)message, (void)function;
    ++handler_calls;
}

#define CHECK(cond)                                                                  \
    do {                                                                             \
        if (!(cond)) {                                                               \
            fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            return 1;                                                                \
        }                                                                            \
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

    /* The image library, and a report of the list library reaching the handler. */
    ZTIMAGE image = ZtImageCreate(5, 4, 2, ZT_DT_U8);
    CHECK(image != 0);
    ZtImageReleaseHandle(&image);
    CHECK(image == 0);
    ZtSetErrorHandler(on_error, NULL);
    uint64_t before = ZtErrorReportCount();
    CHECK(IsTav(0) == 0 && ZtErrorReportCount() == before); /* the type tests report nothing */
    CHECK(TavCreateStringLabel("") == 0 && handler_calls == 1);
    const char* function = NULL;
    CHECK(ZtGetLastError(&function, NULL) == TAV_E_INVALID_ARGUMENT && strcmp(function, "TavCreateStringLabel") == 0);
    ZtSetErrorHandler(NULL, NULL);
    puts("consumer ok");
    return 0;
}
