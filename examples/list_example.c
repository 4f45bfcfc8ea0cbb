/* Builds a small list of feature vectors with class names, stores it, loads
 * it back and prints what it holds. Usage: list_example [FILE] */
#include <stdio.h>
#include <string.h>

#include <tav/tav.h>

static int fail(const char* what) {
    const char* function = "";
    const char* message = "";
    int32_t code = ZtGetLastError(&function, &message);
    fprintf(stderr, "%s failed: 0x%08x %s (%s)\n", what, (unsigned)code, message ? message : "",
            function ? function : "");
    return 1;
}

int main(int argc, char** argv) {
    const char* path = argc > 1 ? argv[1] : "example.tav";

    /* Build: string labels, vectors of two floats. Creators give one reference each. */
    TAVLABELTYPE label_type = TavCreateLabelTypeString();
    TAVDATATYPE data_type = TavCreateDataTypeFloatVector(2);
    TAV list = TavCreate(label_type, data_type);
    ZtRelease(label_type); /* the list keeps its own references to its types */
    ZtRelease(data_type);
    if (!list)
        return fail("TavCreate");
    const struct { const char* name; float features[2]; } samples[] = {
        {"pear", {0.9f, 0.2f}}, {"apple", {0.1f, 0.8f}}, {"pear", {0.8f, 0.3f}}, {"apple", {0.2f, 0.7f}}};
    for (size_t i = 0; i < sizeof samples / sizeof samples[0]; ++i)
        if (TavAddNamedVectorItem(list, samples[i].name, samples[i].features, 2) != 0)
            return fail("TavAddNamedVectorItem");
    TavSetComment(list, "fruit measured by two features");

    /* Store, then drop the list. */
    if (TavStore(list, path) != 0)
        return fail("TavStore");
    ZtRelease(list);

    /* Load and inspect. Getters of a list's items return borrowed handles. */
    TAV loaded = 0;
    if (TavLoad(path, &loaded) != 0)
        return fail("TavLoad");
    char comment[128];
    uint64_t size = sizeof comment;
    if (TavGetComment(loaded, comment, &size) != 0)
        return fail("TavGetComment");
    printf("%s: %d items, %d labels, comment \"%s\"\n", path, TavGetNumDataEntries(loaded),
           TavGetNumLabelEntries(loaded), comment);
    for (int32_t i = 0; i < TavGetNumLabelEntries(loaded); ++i) {
        TAVLABEL label = TavGetLabel(loaded, i);
        char name[64];
        uint64_t name_size = sizeof name;
        if (TavGetStringLabel(label, name, &name_size) != 0)
            return fail("TavGetStringLabel");
        printf("label %d \"%s\":", i, name);
        for (int32_t k = 0; k < TavGetNumDataReferences(label); ++k) {
            TAVDATA data = TavGetDataReference(label, k);
            float values[2];
            uint64_t count = 2;
            if (TavGetFloatVectorData(data, values, &count) != 0)
                return fail("TavGetFloatVectorData");
            printf(" item %d (%g, %g)", TavGetDataIndex(loaded, data), values[0], values[1]);
        }
        printf("\n");
    }
    ZtRelease(loaded);
    return 0;
}
