/* SPDX-License-Identifier: MIT */
/* Compiles every public header as C and drives the host API through the
 * shared library: one stroke in, candidates out. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "penrune/HRData.h"
#include "penrune/HRFeature.h"
#include "penrune/HRKernel.h"
#include "penrune/HRNormalize.h"
#include "penrune/HROnline.h"
#include "penrune/HRTypes.h"
#include "penrune/HTTools.h"
#include "penrune/HWCand.h"
#include "penrune/HWKernel.h"
#include "penrune/HWLex.h"
#include "penrune/HWLexData.h"
#include "penrune/HWLine.h"
#include "penrune/HWUtils.h"
#include "penrune/penrune_export.h"
#include "penrune/penrune_version.h"

int main(void) {
    if (strcmp(HWKernel_GetVersion(), PENRUNE_VERSION_STRING) != 0) {
        fprintf(stderr, "library version %s, header version %s\n", HWKernel_GetVersion(), PENRUNE_VERSION_STRING);
        return 1;
    }
    if (HRData_GetDataPtr() == NULL || HRData_GetDataSize() < 32) {
        fprintf(stderr, "embedded model image missing\n");
        return 1;
    }
    void *block = malloc(HWKernel_GetInstanceSize());
    if (block == NULL) return 1;
    void *kernel = HWKernel_Initialize(block, 0, NULL);
    if (kernel == NULL) {
        fprintf(stderr, "kernel refused its block\n");
        return 1;
    }
    _HR_POINT16 stroke[] = {{100, 300}, {200, 300}, {300, 300}, {400, 300}, {500, 300}, {0xFFFF, 0}};
    int accepted = HWKernel_AddStroke(kernel, stroke, 6);
    int strokes = HWKernel_GetStrokeTotal(kernel);
    char text[64];
    int total = HWKernel_GetCandTotal(kernel);
    for (int i = 0; i < total; i++) {
        HWKernel_GetCandItemUtf8(kernel, (HR_UINT16)i, text, (HR_UINT16)sizeof text);
        printf("%d %s\n", i, text);
    }
    HWKernel_Terminate(kernel);
    free(block);
    if (accepted != 1 || strokes != 1) {
        fprintf(stderr, "stroke not accepted\n");
        return 1;
    }
    return 0;
}
