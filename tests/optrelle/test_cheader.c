/* The library's header is plain C: this file is compiled as C and linked
 * against the library. */
#include "optrelle.h"

#include <stdio.h>

int main(void)
{
    OptrelleFrameCallback callback = 0;
    if (fnGetCameraCount() != 0 || fnGetCameraPID(0)[0] != '\0' || fnCapture(-1, 0) != 0) {
        fprintf(stderr, "the library answered for a camera before fnInit\n");
        return 1;
    }
    fnSetVideoCB(0, (void *)callback);
    return 0;
}
