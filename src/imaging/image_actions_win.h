// Format conversion and compression of the selected images. Win32 side.
#pragma once

#include <string>

// Re-encodes every input image as "png", "jpg" (or "jpeg") or "webp" into a new file beside it.
void ExecuteConvert(const std::wstring& format);

// A JPEG copy at quality 60 of every input image, named with "-compressed".
void ExecuteCompress();
