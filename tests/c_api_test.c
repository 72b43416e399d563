/* Compiles the public headers as C and calls the library through them. */
#include <stdio.h>

#include "HRData.h"

int main(void) {
    const HR_UINT8 *image = HRData_GetDataPtr();
    if (image == NULL || HRData_GetDataSize() < 32) {
        fprintf(stderr, "embedded model image missing\n");
        return 1;
    }
    return 0;
}
