// Which paths name images, judged by extension alone.
#pragma once

#include <string_view>

bool IsImageFile(std::wstring_view path);
