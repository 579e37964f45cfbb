// Decoding through the platform's imaging component (WIC), the fallback for files GDI+ cannot
// open: on current Windows it reads HEIC, AVIF and others when their codec extensions are there.
// Win32 side.
#pragma once

#include <windows.h>

#include <cstdint>

#include "base/pixel_buffer.h"

// Top-down rows of width * 4 bytes, BGRA, straight alpha (the layout of GDI+'s 32bppARGB).
struct WicPicture {
    UINT width = 0;
    UINT height = 0;
    bool hasAlpha = false;  // the decoder's own pixel format carries alpha
    PixelBuffer bgra;
};

// The file's first frame, converted to 32-bit BGRA. Needs COM on the calling thread. Returns
// S_OK, or the result of the call that failed; `picture` stays empty then.
HRESULT DecodeFileWithWic(const wchar_t* path, WicPicture& picture);
