/*
 * ztcimg.h - the image library.
 *
 * Images are base-object handles (see ztbase.h) holding one or more planes of
 * equal width and height; each plane has its own data-type word. Every
 * function that makes an image returns it with one reference the caller
 * owns. A failing function returns 0, a negative value or a null image; it
 * never reads or writes outside an image.
 *
 * Data-type word: low 8 bits the bits per pixel (1..64), 0x100 signed, 0x200
 * floating point (only with 32 or 64 bits, always with 0x100); higher bits are
 * flags that image users may ignore.
 *
 * Errors: every library reports failures through ZtReportError(WithMessage).
 * A process-wide handler sees each report; the calling thread's last report
 * and a per-thread report counter can be read back.
 */
#ifndef ZT_ZTCIMG_H
#define ZT_ZTCIMG_H

#include <stdint.h>
#include "zt/ztbase.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef ZTHANDLE ZTIMAGE;

#define ZT_DT_U8 0x008u
#define ZT_DT_S8 0x108u
#define ZT_DT_U16 0x010u
#define ZT_DT_S16 0x110u
#define ZT_DT_U32 0x020u
#define ZT_DT_S32 0x120u
#define ZT_DT_U64 0x040u
#define ZT_DT_S64 0x140u
#define ZT_DT_F32 0x320u
#define ZT_DT_F64 0x340u

/* The interface id of images (fixed). */
#define ZT_IMAGE_INTERFACE_ID 1u

/* --- images ------------------------------------------------------------ */
ZT_API ZTIMAGE ZtImageCreate(int32_t width, int32_t height, int32_t planes, uint32_t dataType); /* zeroed */
ZT_API ZTIMAGE ZtImageCreatePlanes(int32_t width, int32_t height, int32_t planes, const uint32_t* dataTypes);
ZT_API int32_t ZtImageWidth(ZTIMAGE image);
ZT_API int32_t ZtImageHeight(ZTIMAGE image);
ZT_API int32_t ZtImagePlaneCount(ZTIMAGE image);
ZT_API uint32_t ZtImagePlaneDataType(ZTIMAGE image, int32_t plane);
ZT_API int32_t ZtImageGetPixel(ZTIMAGE image, int32_t plane, int32_t x, int32_t y, double* value); /* 0 or <0 */
ZT_API int32_t ZtImageSetPixel(ZTIMAGE image, int32_t plane, int32_t x, int32_t y, double value);
/* Inclusive rectangle inside the image; targets >= 1. Same size: a view
 * sharing the source's pixels; otherwise bilinear resampling. */
ZT_API int32_t ZtImageMapArea(ZTIMAGE image, int32_t left, int32_t top, int32_t right, int32_t bottom,
                              int32_t targetWidth, int32_t targetHeight, ZTIMAGE* out);
/* 2x2 linear map {a, b, c, d}: x' = a x + b y, y' = c x + d y. */
ZT_API int32_t ZtImageTransformByMatrix(ZTIMAGE image, const double matrix[4], ZTIMAGE* out);
ZT_API int32_t ZtImageCopy(ZTIMAGE image, ZTIMAGE* out);
ZT_API void ZtImageDefaultCoordinateSystem(void* record48);
ZT_API int32_t ZtImageLoadFromMemory(const void* bytes, uint64_t length, ZTIMAGE* out); /* nonzero = ok */
ZT_API uint64_t ZtImageStoredSize(ZTIMAGE image);
ZT_API int32_t ZtImageWriteToMemory(ZTIMAGE image, void* buffer, uint64_t size); /* nonzero = ok */
/* Extensions for lists loaded in bulk. Nonzero when the bytes hold an image
 * that ZtImageLoadFromMemory would load; nothing is made. */
ZT_API int32_t ZtImageCheckStoredForm(const void* bytes, uint64_t length);
/* The image of a stored form whose pixels stay in `bytes`, which the caller
 * keeps until release(context) is called (exactly once: when the image goes,
 * or before returning when no image is made). 1 when the pixels are used in
 * place (writing a pixel writes bytes); 2 when they were copied (a plane not
 * aligned for its elements); 0 on failure, as ZtImageLoadFromMemory fails. */
ZT_API int32_t ZtImageViewStoredForm(void* bytes, uint64_t length, void (*release)(void*), void* context,
                                     ZTIMAGE* out);
ZT_API void ZtImageRotationMatrix(double degrees, double matrix[4]);
ZT_API void ZtImageTransformPoint(double x, double y, const double matrix[4], double* outX, double* outY);
ZT_API double ZtImageVectorAngle(double x, double y); /* degrees, from +x towards +y */
ZT_API void ZtImageReleaseHandle(ZTHANDLE* handle);   /* releases and sets the variable to 0 */

/* --- errors ------------------------------------------------------------ */
ZT_API void ZtReportError(int32_t code, const char* function);
ZT_API void ZtReportErrorWithMessage(int32_t code, const char* message, const char* function);
typedef void (*ZtErrorHandler)(void* context, int32_t code, const char* message, const char* function);
ZT_API void ZtSetErrorHandler(ZtErrorHandler handler, void* context); /* process-wide; NULL removes it */
ZT_API int32_t ZtGetLastError(const char** function, const char** message); /* this thread's last, 0 if none */
ZT_API void ZtClearLastError(void);
ZT_API uint64_t ZtErrorReportCount(void); /* reports made on this thread so far */

/* --- data-type words (also looked up by name at run time) --------------- */
ZT_API int32_t BytesPerPixel(uint32_t dataType);
ZT_API int32_t IsFloatDatatype(uint32_t dataType);
ZT_API int32_t IsSignedDatatype(uint32_t dataType);

#ifdef __cplusplus
} /* extern "C" */

namespace ZTK {
/* One entry of a linear-access table: pixel (x, y) of a plane lies at
 * base + table[x].x + table[y].y (bytes). Both offsets of every entry are
 * set, so one table serves both axes when width == height. */
struct ZtLinearEntry {
    int64_t x;
    int64_t y;
};

/* What ZtQueryInterface(image, 1, &p) yields. Each operation returns a
 * negative value on failure. */
class IZtImage {
public:
    virtual int32_t GetDimension(int32_t* planes, int32_t* width, int32_t* height) = 0;
    virtual int32_t GetPlaneDataType(int32_t plane, uint32_t* dataType) = 0;
    /* table has max(width, height) entries, owned by the image. */
    virtual int32_t GetLinearAccess(int32_t plane, void** base, const ZtLinearEntry** table) = 0;
    virtual int32_t Reserved() = 0;
    virtual int32_t SetCoordinateSystem(const void* record48) = 0;

protected:
    ~IZtImage() = default;
};
} // namespace ZTK
#endif

#endif /* ZT_ZTCIMG_H */
