/* SPDX-License-Identifier: MIT */
/* Export of a binary data image as C source text.
 *
 * The written file defines the image as a byte array plus a pointer accessor
 * and a size accessor, so that a trained model (or a built lexicon) can be
 * compiled into the library. One writer serves every image kind; a
 * _HT_SOURCE_FORM names the header, the array and the two accessors.
 *
 * Usage: HTStore_SaveToCpp(image, "HRData.c") for the recognition model;
 * other image kinds call HTStore_SaveImageSource with their own form. */
#ifndef HT_STORE_H
#define HT_STORE_H

#include "penrune/HRTypes.h"
#include "penrune/HTTools.h"

PENRUNE_EXTERN_C_BEGIN

/* The lines that differ between image kinds, each written verbatim. */
typedef struct _HT_SOURCE_FORM {
    const char *header;   /* include line, e.g. "#include \"HRData.h\"\n" */
    const char *array;    /* array opening line, ending in "{\n" */
    const char *ptrHead;  /* head line of the pointer accessor */
    const char *ret;      /* return line of the pointer accessor */
    const char *sizeHead; /* head line of the size accessor */
} _HT_SOURCE_FORM;

/* Writes the image at imagePath as C source to cPath in the given form.
 * Both files are opened before either is checked, so cPath is created (empty)
 * even when the image is missing. Returns 1 on success; 0 when a file cannot
 * be opened, the image cannot be read, the image is 2 GiB or longer, or the
 * source text cannot be written completely. */
int HTStore_SaveImageSource(const char *imagePath, const char *cPath, const _HT_SOURCE_FORM *form);

PENRUNE_EXTERN_C_END

#endif /* HT_STORE_H */
