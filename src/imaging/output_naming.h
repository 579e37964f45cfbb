// Output file names next to their inputs, never over an existing file.
#pragma once

#include <functional>
#include <string>
#include <string_view>

// The parts of a path as the platform's path splitter yields them: drive ("C:"), directory
// with its trailing separator, stem, and extension with its dot.
struct PathParts {
    std::wstring drive, dir, stem, ext;
};

// Fixed part buffers of the platform splitter: drive 3, the others 256 characters with the zero.
inline constexpr size_t kMaxPathPartLength = 255;
// Callers' output buffers.
inline constexpr size_t kOutputPathCapacity = 260;
// Numbered candidates tried after the plain name.
inline constexpr int kMaxOutputCounter = 9999;

// False when a part would not fit the splitter's buffers.
bool SplitPathParts(std::wstring_view path, PathParts& parts);

using PathExistsFn = std::function<bool(const std::wstring&)>;

// base = drive + dir + stem + suffix + "." + ext, or, when taken, the same with "-1" ... "-9999"
// before the dot. Returns false, leaving out empty, when no free name exists or the name does not
// fit capacity - 1 characters: a cut name could point at another file.
bool MakeOutputPath(std::wstring_view input, std::wstring_view suffix, std::wstring_view ext, wchar_t* out,
                    size_t capacity, const PathExistsFn& exists);

// The same with the platform's existence test (defined by the platform layer).
bool MakeOutputPath(std::wstring_view input, std::wstring_view suffix, std::wstring_view ext, wchar_t* out,
                    size_t capacity);
