/*
 * tav.h - sample image lists.
 *
 * A list holds data items (an image, or a vector of 32-bit floats) and labels
 * (a text, or a vector of 32-bit floats). Every item refers to one label;
 * labels of equal value are held once and kept sorted.
 *
 * Rules every function follows:
 *  - Objects are reference-counted handles of the base-object library
 *    (zt/ztbase.h); images are handles of the image library (zt/ztcimg.h).
 *  - Functions that create an object (TavCreate..., TavLoad, TavImport...)
 *    return it with one reference, which the caller owns and releases with
 *    ZtRelease. Getters of objects held by another object (a list's items,
 *    types and mask, the links between items) return borrowed handles: valid
 *    while the holder keeps them; do not release them.
 *  - A failure returns the error code for a status, -1 for a count or index,
 *    0 for a handle, and is reported with the function's name through the
 *    image library's error facility (ZtSetErrorHandler, ZtGetLastError).
 *  - Getters that fill a buffer: a null buffer asks for the size needed; a
 *    buffer that is too small gives TAV_E_BUFFER_TOO_SMALL and is left alone.
 *    Texts are returned with their terminating zero counted in the size.
 *  - Narrow texts are in the calling thread's locale codeset (label creation
 *    takes UTF-8); wide texts are UTF-16.
 *  - Threads: handles may be made, used and released from any thread. Several
 *    threads may read or store one list and its items at once while no
 *    thread changes it; a change (adding, deleting, setting) needs the list
 *    to itself. Separate lists may be used in separate threads freely.
 */
#ifndef TAV_TAV_H
#define TAV_TAV_H

/* The version of this header and of the library it came with. CMake's project
 * version is the one source: the configure step refuses a header that
 * disagrees. The major version is the libraries' SONAME (libtav.so.1). */
#define TAV_VERSION_MAJOR 1
#define TAV_VERSION_MINOR 0
#define TAV_VERSION_PATCH 0
#define TAV_VERSION_STRING "1.0.0"

#include <stdint.h>
#ifndef __cplusplus
#include <uchar.h> /* char16_t */
#endif
#include "zt/ztbase.h"
#include "zt/ztcimg.h"

#if defined(_WIN32)
#define TAV_API __declspec(dllimport)
#else
#define TAV_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef ZTHANDLE TAV; /* a list */
typedef ZTHANDLE TAVDATA;
typedef ZTHANDLE TAVLABEL;
typedef ZTHANDLE TAVDATATYPE;
typedef ZTHANDLE TAVLABELTYPE;

#ifndef _WIN32
typedef struct _SYSTEMTIME {
    uint16_t wYear, wMonth, wDayOfWeek, wDay, wHour, wMinute, wSecond, wMilliseconds;
} SYSTEMTIME;
#endif

typedef int32_t (*TavLabelTransform)(void* context, TAVLABEL source, TAVLABEL* result);
typedef int32_t (*TavDataTransform)(void* context, TAVDATA source, TAVDATA* result);

#define TAV_E_FAILURE ((int32_t)0x80000001u)
#define TAV_E_INVALID_ARGUMENT ((int32_t)0x80000002u)
#define TAV_E_FILE ((int32_t)0x80000003u)
#define TAV_E_OUT_OF_MEMORY ((int32_t)0x80000005u)
#define TAV_E_INVALID_IMAGE ((int32_t)0x80000010u)
#define TAV_E_EXPIRED ((int32_t)0x80000011u)
#define TAV_E_INVALID_OPERATION ((int32_t)0x80000013u)
#define TAV_E_EMPTY_LIST ((int32_t)0x80000016u)
#define TAV_E_INVALID_VALUE ((int32_t)0x8000001au)
#define TAV_E_INCOMPATIBLE ((int32_t)0x8000001cu)
#define TAV_E_BUFFER_TOO_SMALL ((int32_t)0x8000002bu)
#define TAV_E_INDEX_OUT_OF_RANGE ((int32_t)0x80000030u)

/* Kinds for TavGetInterfaceID. */
#define TAV_KIND_LIST 1u
#define TAV_KIND_LABEL 2u
#define TAV_KIND_DATA 4u
#define TAV_KIND_LABEL_TYPE 8u
#define TAV_KIND_DATA_TYPE 16u

/* --- interface identifiers and type tests ------------------------------- */
TAV_API uint64_t TavGetInterfaceID(uint32_t kind);
TAV_API int32_t IsTav(ZTHANDLE h);
TAV_API int32_t IsTavData(ZTHANDLE h);
TAV_API int32_t IsTavLabel(ZTHANDLE h);
TAV_API int32_t IsTavDataType(ZTHANDLE h);
TAV_API int32_t IsTavLabelType(ZTHANDLE h);

/* --- data types ---------------------------------------------------------- */
TAV_API TAVDATATYPE TavCreateDataTypeImage(int32_t width, int32_t height, int32_t planes, uint32_t pixelDataType,
                                           int32_t left, int32_t top, int32_t windowWidth, int32_t windowHeight,
                                           int32_t originX, int32_t originY);
TAV_API TAVDATATYPE TavCreateDataTypeImageEx(int32_t width, int32_t height, int32_t planes, uint32_t pixelDataType,
                                             int32_t originX, int32_t originY);
TAV_API TAVDATATYPE TavCreateDataTypeFloatVector(int32_t dimension);
TAV_API int32_t TavCompareDataTypes(TAVDATATYPE a, TAVDATATYPE b);
TAV_API int32_t TavGetFeatureWindow(TAVDATATYPE t, int32_t* left, int32_t* top, int32_t* width, int32_t* height,
                                    int32_t* originX, int32_t* originY);
TAV_API int32_t TavSetFeatureWindow(TAVDATATYPE t, int32_t left, int32_t top, int32_t width, int32_t height,
                                    int32_t originX, int32_t originY);
TAV_API int32_t TavGetImageDataGeometry(TAVDATATYPE t, int32_t* width, int32_t* height, int32_t* planes,
                                        uint32_t* pixelDataType);
TAV_API int32_t TavGetFringes(TAVDATATYPE t, int32_t* left, int32_t* top, int32_t* right, int32_t* bottom);
TAV_API int32_t TavGetFloatVectorDataDim(TAVDATATYPE t, uint64_t* dimension);

/* --- label types --------------------------------------------------------- */
TAV_API TAVLABELTYPE TavCreateLabelTypeString(void);
TAV_API TAVLABELTYPE TavCreateLabelTypeFloatVector(int32_t dimension);
TAV_API int32_t TavCompareLabelTypes(TAVLABELTYPE a, TAVLABELTYPE b);
TAV_API int32_t TavGetFloatVectorLabelDim(TAVLABELTYPE t, uint64_t* dimension);

/* --- labels -------------------------------------------------------------- */
TAV_API TAVLABEL TavCreateStringLabel(const char* utf8);
TAV_API TAVLABEL TavCreateStringLabelW(const char16_t* text);
TAV_API TAVLABEL TavCreateVectorLabel(const float* values, uint64_t count);
TAV_API int32_t TavCompareLabels(TAVLABEL a, TAVLABEL b);
TAV_API int32_t TavVerifyLabelCompatibility(TAVLABEL label, TAVLABELTYPE type);
TAV_API int32_t TavGetStringLabel(TAVLABEL label, char* buffer, uint64_t* size);
TAV_API int32_t TavGetStringLabelW(TAVLABEL label, char16_t* buffer, uint64_t* size);
TAV_API int32_t TavGetFloatVectorLabel(TAVLABEL label, float* buffer, uint64_t* count);
TAV_API int32_t TavGetExcludedFlag(TAVLABEL label, int32_t* flag);
TAV_API int32_t TavSetExcludedFlag(TAVLABEL label, int32_t flag);

/* --- data ---------------------------------------------------------------- */
TAV_API TAVDATA TavCreateVectorData(const float* values, uint64_t count);
TAV_API int32_t TavGetFloatVectorData(TAVDATA data, float* buffer, uint64_t* count);
TAV_API int32_t TavCompareData(TAVDATA a, TAVDATA b);
TAV_API int32_t TavVerifyDataCompatibility(TAVDATA data, TAVDATATYPE type);
TAV_API TAVDATA TavCreateImageData(ZTIMAGE image, int32_t left, int32_t top, int32_t width, int32_t height);
TAV_API int32_t TavGetImageData(TAVDATA data, ZTIMAGE* image);

/* --- the list: create, add, delete --------------------------------------- */
TAV_API TAV TavCreate(TAVLABELTYPE labelType, TAVDATATYPE dataType);
TAV_API int32_t TavAddItem(TAV list, TAVDATA data, TAVLABEL label);
TAV_API int32_t TavDeleteData(TAV list, int32_t index);
TAV_API int32_t TavDeleteDataByLabel(TAV list, int32_t labelIndex, int32_t dataIndex);
TAV_API int32_t TavDeleteLabel(TAV list, int32_t labelIndex);

/* --- transforms and label changes ---------------------------------------- */
TAV_API int32_t TavTransformLabelList(TAV list, TavLabelTransform callback, void* context, TAV* result);
TAV_API int32_t TavTransformDataList(TAV list, TavDataTransform callback, void* context, TAV* result);
TAV_API int32_t TavChangeVectorLabel(TAV list, int32_t labelIndex, const float* values, uint64_t count);
TAV_API int32_t TavChangeStringLabel(TAV list, int32_t labelIndex, const char* text);
TAV_API int32_t TavChangeStringLabelW(TAV list, int32_t labelIndex, const char16_t* text);

/* --- one-call adders ----------------------------------------------------- */
TAV_API int32_t TavAddNamedImageItem(TAV list, const char* name, ZTIMAGE image, int32_t x, int32_t y);
TAV_API int32_t TavAddNamedImageItemW(TAV list, const char16_t* name, ZTIMAGE image, int32_t x, int32_t y);
TAV_API int32_t TavAddNamedImageItemEx(TAV list, const char* name, ZTIMAGE image, int32_t x, int32_t y);
TAV_API int32_t TavAddNamedVectorItem(TAV list, const char* name, const float* values, uint64_t count);
TAV_API int32_t TavAddNamedVectorItemW(TAV list, const char16_t* name, const float* values, uint64_t count);
TAV_API int32_t TavAddRegressionImageItem(TAV list, const float* labelValues, uint64_t labelCount, ZTIMAGE image,
                                          int32_t x, int32_t y);
TAV_API int32_t TavAddRegressionImageItemEx(TAV list, const float* labelValues, uint64_t labelCount, ZTIMAGE image,
                                            int32_t x, int32_t y);
TAV_API int32_t TavAddRegressionVectorItem(TAV list, const float* labelValues, uint64_t labelCount,
                                           const float* dataValues, uint64_t dataCount);

/* --- queries and metadata ------------------------------------------------ */
TAV_API int32_t TavGetCreationDate(TAV list, SYSTEMTIME* time);
TAV_API int32_t TavGetModificationDate(TAV list, SYSTEMTIME* time);
TAV_API int32_t TavGetComment(TAV list, char* buffer, uint64_t* size);
TAV_API int32_t TavGetCommentW(TAV list, char16_t* buffer, uint64_t* size);
TAV_API int32_t TavSetComment(TAV list, const char* text);
TAV_API int32_t TavSetCommentW(TAV list, const char16_t* text);
TAV_API TAVLABELTYPE TavGetLabelType(TAV list);
TAV_API TAVDATATYPE TavGetDataType(TAV list);
TAV_API int32_t TavGetLabelTypeEnum(TAV list);
TAV_API int32_t TavGetDataTypeEnum(TAV list);
TAV_API TAVDATA TavGetMaskData(TAV list);
TAV_API int32_t TavSetMaskData(TAV list, TAVDATA data);
TAV_API int32_t TavGetNumDataEntries(TAV list);
TAV_API int32_t TavGetNumLabelEntries(TAV list);
TAV_API TAVDATA TavGetData(TAV list, int32_t index);
TAV_API TAVLABEL TavGetLabel(TAV list, int32_t index);
TAV_API int32_t TavGetNumDataReferences(TAVLABEL label);
TAV_API int32_t TavGetNumDataReferencesByLabel(TAV list, int32_t labelIndex);
TAV_API TAVDATA TavGetDataReference(TAVLABEL label, int32_t index);
TAV_API TAVDATA TavGetDataByLabel(TAV list, int32_t labelIndex, int32_t dataIndex);
TAV_API int32_t TavGetNumLabelReferences(TAVDATA data);
TAV_API TAVLABEL TavGetLabelReference(TAVDATA data, int32_t index);
TAV_API int32_t TavGetDataIndex(TAV list, TAVDATA data);
TAV_API int32_t TavGetLabelIndex(TAV list, TAVLABEL label);
TAV_API int32_t TavGetStatistics(TAV list, int64_t* labelCount, int64_t* minimum, int64_t* maximum, double* mean);

/* --- store, load, import ------------------------------------------------- */
TAV_API int32_t TavStore(TAV list, const char* path);
TAV_API int32_t TavStoreW(TAV list, const char16_t* path);
TAV_API int32_t TavLoad(const char* path, TAV* list);
TAV_API int32_t TavLoadW(const char16_t* path, TAV* list);
TAV_API int32_t TavImportFromKorvu(const char* path, TAV* list);
TAV_API int32_t TavImportFromKorvuW(const char16_t* path, TAV* list);

/* --- extension: the list file reader -------------------------------------
 * Reads a stored list without making a list: opening indexes the file (types,
 * labels, which label each item has, flags, mask, comment, times) from its
 * chunk headers and structure, and items are read on demand with positional
 * reads into the caller's buffer, each checked as TavLoad checks it. An open
 * reader holds a few bytes per item plus the labels, so lists larger than
 * memory can be read. Opening a file and reading every item accepts exactly
 * the files TavLoad accepts and refuses the others with TavLoad's code; a
 * damaged item is refused when it is read.
 *
 * A reader is a handle (TAVREADER) with one reference from TavReaderOpen;
 * release it with ZtRelease. Its getters lend objects (types, labels, mask)
 * that stay valid while the reader is held. Several threads may read from one
 * reader at once. The file is read, never mapped: a file truncated by another
 * program makes a read fail with TAV_E_FILE, never crash.
 *
 * Buffer layout of one item (TavReaderInfo.itemSize bytes): an image is its
 * rows from top to bottom, each row its pixels from left to right, each pixel
 * its planes in order (height x width x planes), every sample in the list's
 * pixel type, native byte order; a float vector is its dimension floats.
 * Items read together lie back to back in the order asked for.
 */
typedef ZTHANDLE TAVREADER;

typedef struct TavReaderInfo {
    int64_t itemCount;
    int32_t labelCount;
    int32_t labelTypeEnum; /* as TavGetLabelTypeEnum: 0 string, 1 float vector */
    int32_t dataTypeEnum;  /* as TavGetDataTypeEnum: 0 image, 1 float vector */
    int32_t width, height, planes; /* image data; 0 for vector data */
    uint32_t pixelDataType;        /* image data: a ZT_DT_ word; ZT_DT_F32 for vectors */
    uint64_t dimension;            /* vector data: floats per item; 0 for images */
    uint64_t labelDimension;       /* vector labels: floats per label; 0 for strings */
    uint64_t itemSize;             /* bytes of one item in a read buffer */
} TavReaderInfo;

TAV_API int32_t TavReaderOpen(const char* path, TAVREADER* reader);
TAV_API int32_t TavReaderOpenW(const char16_t* path, TAVREADER* reader);
TAV_API int32_t IsTavReader(ZTHANDLE h);
TAV_API int32_t TavReaderGetInfo(TAVREADER reader, TavReaderInfo* info);
/* Borrowed: the stored types, a label (read it with TavGetStringLabel,
 * TavGetFloatVectorLabel, TavGetExcludedFlag), the mask (0 when none). */
TAV_API TAVLABELTYPE TavReaderGetLabelType(TAVREADER reader);
TAV_API TAVDATATYPE TavReaderGetDataType(TAVREADER reader);
TAV_API TAVLABEL TavReaderGetLabel(TAVREADER reader, int32_t labelIndex);
TAV_API TAVDATA TavReaderGetMaskData(TAVREADER reader);
/* Comment in UTF-8, with the buffer rules of every getter. */
TAV_API int32_t TavReaderGetComment(TAVREADER reader, char* buffer, uint64_t* size);
TAV_API int32_t TavReaderGetTimes(TAVREADER reader, SYSTEMTIME* creation, SYSTEMTIME* modification);
/* The label index of items first .. first+count-1. */
TAV_API int32_t TavReaderGetItemLabels(TAVREADER reader, int64_t first, int64_t count, int32_t* labelIndices);
/* Reads items first .. first+count-1, or the count items named by indices
 * (any order, repeats allowed), into buffer (bufferSize >= count * itemSize). */
TAV_API int32_t TavReaderReadRange(TAVREADER reader, int64_t first, int64_t count, void* buffer,
                                   uint64_t bufferSize);
TAV_API int32_t TavReaderReadItems(TAVREADER reader, const int64_t* indices, int64_t count, void* buffer,
                                   uint64_t bufferSize);

/* --- extension: many items of a list at once -----------------------------
 * Items move between a list and a caller's buffer in the reader's layout
 * above (an image item's height x width x planes samples, interleaved, in the
 * list's pixel type; a vector item's dimension floats), back to back.
 *
 * TavListReadItems copies items 0 .. count-1, or the count items named by
 * indices (any order, repeats allowed), into buffer (bufferSize >= count x
 * the item size). A loaded image item whose image has not been made is read
 * from its stored form and stays unmade. An index outside the list gives
 * TAV_E_INDEX_OUT_OF_RANGE, with nothing copied.
 *
 * TavAddItems adds count items made from buffer, item i with labels[i] (a
 * handle may repeat). The list afterwards is the one count TavAddItem calls
 * would give, each with the data TavCreateImageData (of an image of the data
 * type's size, planes and pixel type) or TavCreateVectorData makes from that
 * item's samples. Everything is checked before the list changes: all items
 * are added or none. Refused: a bad list or label handle, null buffer or
 * labels, a negative count (TAV_E_INVALID_ARGUMENT); a label that does not
 * fit the label type, or image samples outside a narrow pixel type's range
 * (TAV_E_INCOMPATIBLE); a short buffer (TAV_E_BUFFER_TOO_SMALL).
 */
TAV_API int32_t TavListReadItems(TAV list, const int64_t* indices, int64_t count, void* buffer, uint64_t bufferSize);
/* The label index (as TavGetLabel counts) of the same items, -1 for an item
 * without a label, into labelIndices (count of them). */
TAV_API int32_t TavListGetItemLabels(TAV list, const int64_t* indices, int64_t count, int32_t* labelIndices);
TAV_API int32_t TavAddItems(TAV list, const void* buffer, uint64_t bufferSize, int64_t count, const TAVLABEL* labels);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* TAV_TAV_H */
