#ifndef OPTRELLE_H
#define OPTRELLE_H

/*
 * liboptrelle: USB document cameras (Video4Linux2) and simulated cameras.
 *
 * A camera is addressed by an index 0 .. fnGetCameraCount() - 1. Every call
 * accepts any index (negative, past the count, a camera that is not open) and
 * then returns its failure value without doing anything. Ints that report
 * success are 1 on success and 0 on failure.
 *
 * Threads: call everything from the thread that owns the program's widgets (the
 * GUI thread). Only the frame callback runs elsewhere, on the camera's capture
 * thread. No call throws.
 *
 * Memory: strings returned by the library belong to it and stay valid until
 * the process ends; paths passed in are read during the call only.
 *
 * Windows: an OptrelleWindowId is the native id (QWidget::winId()) of a widget
 * of this process; the library paints the camera's live picture into it.
 */

#include <stdbool.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define OPTRELLE_API __attribute__((visibility("default")))
#else
#define OPTRELLE_API
#endif

typedef uintptr_t OptrelleWindowId;

/* The frame callback: data holds width * height * 3 bytes of BGR pixels, rows
 * bottom-up, valid during the call only; the last argument is always 0.
 * Runs on the camera's capture thread. */
typedef void (*OptrelleFrameCallback)(const void *data, int width, int height, int ignored);

/* Finds the cameras. Call once, first; later calls change nothing. 1, or 0 when
 * the configuration (OPTRELLE_BACKEND, OPTRELLE_CAMERAS) is malformed, which
 * leaves no camera. */
OPTRELLE_API int fnInit(void);
/* Number of cameras found by fnInit, 0 before it. */
OPTRELLE_API int fnGetCameraCount(void);
/* The camera's first id (USB idVendor) and second id (USB idProduct), four
 * lower-case hex digits; "" for a bad index. */
OPTRELLE_API const char *fnGetCameraPID(int index);
OPTRELLE_API const char *fnGetCameraVID(int index);

/* The resolution fnOpenCamera starts with; ignored for a bad res. */
OPTRELLE_API void fnSetDefaultResolution(int index, int res);
/* Starts streaming and paints the video into window (0: no window). 1 when the
 * camera streams; 0 when it cannot, or window is no widget of this process.
 * Opening an open camera only moves the video to window. */
OPTRELLE_API int fnOpenCamera(int index, OptrelleWindowId window);
/* Moves the video to window (0: paints nowhere); the previous window is left. */
OPTRELLE_API void fnSetHWND(int index, OptrelleWindowId window);
/* fn is an OptrelleFrameCallback or null. When this returns, the previous
 * callback is not running and is never called again. */
OPTRELLE_API void fnSetVideoCB(int index, void *fn);
/* Stops streaming, removes the callback (as above) and leaves the window. */
OPTRELLE_API void fnCloseCamera(int index);

/* The camera's native resolutions: count (0 for a bad index) and sizes (0 for
 * a bad res). */
OPTRELLE_API int fnGetResCount(int index);
OPTRELLE_API int fnGetResWidth(int index, int res);
OPTRELLE_API int fnGetResHeight(int index, int res);
/* Frames delivered after this returns have the size of resolution res. Must
 * not be called from the frame callback (ignored there). */
OPTRELLE_API void fnSetResolution(int index, int res);

/* Writes the current frame, turned as the video is painted, to path in the
 * format of its extension (jpg, jpeg, bmp, png, tif, tiff; case ignored).
 * Written under a temporary name and renamed, so the file appears whole or not
 * at all. 1 on success; 0 without a frame (camera closed, no signal), for another
 * extension, or when the file cannot be written. */
OPTRELLE_API int fnCapture(int index, char *path);
/* Turns the picture file in place by degrees (positive: clockwise), keeping its
 * format; atomic as fnCapture. A missing or unreadable file is left alone. */
OPTRELLE_API void fnRotateImage(char *path, int degrees);
/* Rescales the picture file in place to w x h (both > 0), keeping its format;
 * atomic as fnCapture. */
OPTRELLE_API void fnResampleImage(char *path, int w, int h);

/* prop 5 (picture mode): value 0 text mode (high-contrast grey, for printed
 * pages), 4 normal picture; applies to the video, stills and frames. flags must
 * be 0. 1 on success, 0 for any other prop, value or flags. */
OPTRELLE_API int fnSetVideoProcAmp(int index, int prop, int value, int flags);
/* prop 5 (optical zoom): which 1 minimum, 2 maximum, 3 step, 5 current value.
 * -1 for a camera without optical zoom, another prop or which, a bad index. */
OPTRELLE_API int fnGetCameraControl(int index, int prop, int which);
/* prop 5: sets the optical zoom to value (clamped to the camera's range). The
 * cameras have no automatic zoom; autoMode is accepted and ignored. */
OPTRELLE_API void fnSetCameraProp(int index, long value, int prop, bool autoMode);

/* Turn the painted video and later stills by 90 degrees (left: anticlockwise).
 * Frames to the callback stay as the camera delivers them. */
OPTRELLE_API void fnRotateLeft(int index);
OPTRELLE_API void fnRotateRight(int index);
/* One zoom step (x1.25) of the painted video about its centre, between the
 * fitted picture (x1) and eight steps in (about x5.96). */
OPTRELLE_API void fnZoomIn(int index);
OPTRELLE_API void fnZoomOut(int index);

/* The text of the largest code (QR, Data Matrix, Aztec, PDF417, EAN/UPC,
 * Code 128/39, ...) in the camera's current frame, as UTF-8; "" when there is
 * none or no frame. Never null; valid until the next call for this camera. */
OPTRELLE_API const char *fnReadBarcode(int index);

/* Opens a dialog of the camera's own settings (for a V4L2 camera every control
 * its driver lists), applied as they change. Not modal; one per camera: a
 * second call raises the open one. */
OPTRELLE_API void fnShowVideoProp(int index);

/* Records the video as it is painted (turned, cropped) into path, an ASF file
 * with WMV2 video at the picture's size (at most 1920 wide), with the frames'
 * own timing. Encoding runs on a worker thread; when it falls behind, frames are
 * dropped, never capture held up. 1 when the file was created; 0 while already
 * recording, for a camera that does not stream, or when path cannot be written.
 * withPicture is always true for this library's callers and is ignored. A full
 * disk ends the recording early, leaving a readable file. */
OPTRELLE_API int fnStartRecord(int index, const char *path, bool withPicture);
/* Finishes the recording's file. Also done by fnCloseCamera and at exit(). Does
 * nothing when not recording. Also call it after a recording ended by itself:
 * it closes the file so that the part written stays readable. */
OPTRELLE_API void fnStopRecord(int index);
/* 1 from a successful fnStartRecord until fnStopRecord or until the recording
 * ended by itself (disk full, a write error, the camera stopped); 0 otherwise. */
OPTRELLE_API int fnIsRecording(int index);
/* Why the camera's last recording ended by itself or could not start, in
 * English, UTF-8; "" when nothing failed (a recording the camera's stop ended
 * has no error). Never null; valid until the next call for this camera. */
OPTRELLE_API const char *fnGetRecordError(int index);

/* true: the library finds the document page on the desk in each frame,
 * straightens it and paints and captures the page instead of the whole frame
 * (the whole frame while no page is found). Frames to the callback stay whole. */
OPTRELLE_API void fnEnableAutoCrop(int index, bool on);

/* mode 1: manual crop. The mouse calls below then drag a crop frame over the
 * video; after the release the frame stays drawn and fnCapture stores only that
 * region, at full resolution. A click without a drag sets no crop. Any other
 * mode: normal; the mouse calls are ignored and the crop frame is removed. */
OPTRELLE_API void fnSetMouseMode(int index, int mode);
/* Mouse events of a window the library paints video into, in that window's
 * coordinates; ignored for any other window. */
OPTRELLE_API void fnOnLMouseDown(OptrelleWindowId window, int x, int y);
OPTRELLE_API void fnOnMouseMove(OptrelleWindowId window, int x, int y);
OPTRELLE_API void fnOnLMouseUp(OptrelleWindowId window, int x, int y);

#ifdef __cplusplus
}
#endif

#endif
