// GDI+ through its flat interface, with one RAII holder per kind of object. Win32 side only.
#pragma once

#include <windows.h>
#include <objidl.h>

#include <algorithm>
#ifdef _MSC_VER
// The platform's GDI+ headers use min and max unqualified; NOMINMAX removes the macros.
namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus
#endif
#include <gdiplus.h>

#include <utility>

// Only the names we use: the whole namespace would clash with our own geometry types.
using namespace Gdiplus::DllExports;
using Gdiplus::GdiplusStartup;
using Gdiplus::GdiplusShutdown;
using Gdiplus::GdiplusStartupInput;
using Gdiplus::GpBitmap;
using Gdiplus::GpBrush;
using Gdiplus::GpFont;
using Gdiplus::GpFontCollection;
using Gdiplus::GpFontFamily;
using Gdiplus::GpGraphics;
using Gdiplus::GpImage;
using Gdiplus::GpPath;
using Gdiplus::GpPen;
using Gdiplus::GpSolidFill;
using Gdiplus::GpStatus;
using Gdiplus::GpStringFormat;
using Gdiplus::Ok;

template <class T, GpStatus(WINGDIPAPI* Deleter)(T*)>
class GdipObject {
public:
    GdipObject() = default;
    explicit GdipObject(T* p) : p_(p) {}
    ~GdipObject() { reset(); }
    GdipObject(const GdipObject&) = delete;
    GdipObject& operator=(const GdipObject&) = delete;
    GdipObject(GdipObject&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    GdipObject& operator=(GdipObject&& o) noexcept {
        if (this != &o) {
            reset();
            p_ = std::exchange(o.p_, nullptr);
        }
        return *this;
    }
    T* get() const { return p_; }
    T** put() {
        reset();
        return &p_;
    }
    void reset() {
        if (p_) Deleter(std::exchange(p_, nullptr));
    }
    explicit operator bool() const { return p_ != nullptr; }

private:
    T* p_ = nullptr;
};

using GdipGraphicsHolder = GdipObject<GpGraphics, GdipDeleteGraphics>;
using GdipPenHolder = GdipObject<GpPen, GdipDeletePen>;
using GdipBrushHolder = GdipObject<GpBrush, GdipDeleteBrush>;
using GdipPathHolder = GdipObject<GpPath, GdipDeletePath>;
using GdipFontHolder = GdipObject<GpFont, GdipDeleteFont>;
using GdipFontFamilyHolder = GdipObject<GpFontFamily, GdipDeleteFontFamily>;
using GdipStringFormatHolder = GdipObject<GpStringFormat, GdipDeleteStringFormat>;
using GdipImageHolder = GdipObject<GpImage, GdipDisposeImage>;
