/* The library's header is plain C: this file is compiled as C and linked
 * against the library. */
#include "pagefold.h"

#include <stdio.h>

int main(void)
{
    if (!ClearAll() || MakePDF("never-written.pdf", 0) || AddImage(0)) {
        fprintf(stderr, "the library made a PDF of nothing or took a null image\n");
        return 1;
    }
    return 0;
}
