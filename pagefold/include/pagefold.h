#ifndef PAGEFOLD_H
#define PAGEFOLD_H

/*
 * libpagefold: JPEG images to a PDF, one page per image.
 *
 * The library keeps one process-wide list of pending images. AddImage appends
 * a path to it, ClearAll empties it, MakePDF writes the listed images, in
 * order, as the pages of a new PDF. Each JPEG is embedded byte for byte (no
 * re-encoding); its page is as large as the image at its density (the JFIF
 * density, 300 dpi when the file names none).
 *
 * Memory: paths are local 8-bit (UTF-8) strings, copied during the call; the
 * caller keeps ownership. The library returns nothing it owns.
 *
 * Threads: any thread; calls are serialised by the library, so one thread's
 * ClearAll / AddImage / MakePDF sequence is only safe while no other thread
 * uses the list. No call throws.
 */

#include <stdbool.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define PAGEFOLD_API __attribute__((visibility("default")))
#else
#define PAGEFOLD_API
#endif

/* Empties the pending list. Always true. */
PAGEFOLD_API bool ClearAll(void);
/* Appends path to the pending list; the file is read by MakePDF. false for a
 * null or empty path, which is still listed, so the next MakePDF fails. */
PAGEFOLD_API bool AddImage(const char *path);
/* Appends path like AddImage, with a text layer: textPdf names a PDF whose
 * first page holds the image's text, invisible, as Tesseract's text-only PDF
 * output does. MakePDF lays that page under the image, stretched to the image's
 * page, so a reader finds and marks the words where the image shows them; the
 * image stays as it is. A null textPdf adds the image alone, as AddImage. false
 * for a null or empty path or an empty textPdf, which is still listed, so the
 * next MakePDF fails. */
PAGEFOLD_API bool AddImageWithText(const char *path, const char *textPdf);
/* Writes the pending images to path (the list is kept). Has finished reading
 * the images when it returns. reserved is ignored (pass null). The file is
 * written under a temporary name in the same folder and renamed, so it appears
 * whole or not at all and an existing file is replaced only on success. false,
 * writing nothing, when the list is empty, an image is missing or is no
 * baseline or progressive 8-bit JPEG, a text layer cannot be read as a PDF
 * with a page, or the file cannot be written. */
PAGEFOLD_API bool MakePDF(const char *path, void *reserved);

#ifdef __cplusplus
}
#endif

#endif
