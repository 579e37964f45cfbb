// One small RAII holder per release rule, so every platform object is released on every path.
// Win32 side only.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <utility>

template <class Traits>
class ScopedResource {
public:
    using Value = typename Traits::Value;
    ScopedResource() = default;
    explicit ScopedResource(Value v) : value_(v) {}
    ~ScopedResource() { reset(); }
    ScopedResource(const ScopedResource&) = delete;
    ScopedResource& operator=(const ScopedResource&) = delete;
    ScopedResource(ScopedResource&& other) noexcept : value_(std::exchange(other.value_, Traits::Invalid())) {}
    ScopedResource& operator=(ScopedResource&& other) noexcept {
        if (this != &other) {
            reset();
            value_ = std::exchange(other.value_, Traits::Invalid());
        }
        return *this;
    }
    Value get() const { return value_; }
    Value* put() {
        reset();
        return &value_;
    }
    Value release() { return std::exchange(value_, Traits::Invalid()); }
    void reset(Value v = Traits::Invalid()) {
        if (Traits::IsValid(value_)) Traits::Close(value_);
        value_ = v;
    }
    explicit operator bool() const { return Traits::IsValid(value_); }

private:
    Value value_ = Traits::Invalid();
};

struct FileHandleTraits {
    using Value = HANDLE;
    static Value Invalid() { return INVALID_HANDLE_VALUE; }
    static bool IsValid(Value v) { return v != INVALID_HANDLE_VALUE && v != nullptr; }
    static void Close(Value v) { CloseHandle(v); }
};
using ScopedHandle = ScopedResource<FileHandleTraits>;

// A handle that is null when there is none and is given back with closeFn.
template <class T, auto closeFn>
struct NullHandleTraits {
    using Value = T;
    static Value Invalid() { return nullptr; }
    static bool IsValid(Value v) { return v != nullptr; }
    static void Close(Value v) { closeFn(v); }
};
template <class T, auto closeFn>
using ScopedNullHandle = ScopedResource<NullHandleTraits<T, closeFn>>;

template <class T>
using ScopedGdiObject = ScopedNullHandle<T, &DeleteObject>;
using ScopedMemoryDc = ScopedNullHandle<HDC, &DeleteDC>;
using ScopedMenu = ScopedNullHandle<HMENU, &DestroyMenu>;
using ScopedGlobal = ScopedNullHandle<HGLOBAL, &GlobalFree>;

// A window's device context from GetDC, given back with ReleaseDC.
class ScopedGetDc {
public:
    explicit ScopedGetDc(HWND hwnd) : hwnd_(hwnd), dc_(GetDC(hwnd)) {}
    ~ScopedGetDc() {
        if (dc_) ReleaseDC(hwnd_, dc_);
    }
    ScopedGetDc(const ScopedGetDc&) = delete;
    ScopedGetDc& operator=(const ScopedGetDc&) = delete;
    HDC get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }

private:
    HWND hwnd_;
    HDC dc_;
};

// Selects an object into a DC and puts the previous one back, so the object can really be deleted.
class ScopedSelectObject {
public:
    ScopedSelectObject(HDC dc, HGDIOBJ obj) : dc_(dc), old_(dc && obj ? SelectObject(dc, obj) : nullptr) {}
    ~ScopedSelectObject() {
        if (old_ && old_ != HGDI_ERROR) SelectObject(dc_, old_);
    }
    ScopedSelectObject(const ScopedSelectObject&) = delete;
    ScopedSelectObject& operator=(const ScopedSelectObject&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

// Locks a global memory block for as long as the holder lives.
class ScopedGlobalLock {
public:
    explicit ScopedGlobalLock(HGLOBAL mem) : mem_(mem), ptr_(mem ? GlobalLock(mem) : nullptr) {}
    ~ScopedGlobalLock() {
        if (ptr_) GlobalUnlock(mem_);
    }
    ScopedGlobalLock(const ScopedGlobalLock&) = delete;
    ScopedGlobalLock& operator=(const ScopedGlobalLock&) = delete;
    void* get() const { return ptr_; }

private:
    HGLOBAL mem_;
    void* ptr_;
};

template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() { reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    ComPtr& operator=(ComPtr&& o) noexcept {
        if (this != &o) {
            reset();
            p_ = std::exchange(o.p_, nullptr);
        }
        return *this;
    }
    T* get() const { return p_; }
    T* operator->() const { return p_; }
    T** put() {
        reset();
        return &p_;
    }
    void** putVoid() { return reinterpret_cast<void**>(put()); }
    void reset() {
        if (p_) std::exchange(p_, nullptr)->Release();
    }
    explicit operator bool() const { return p_ != nullptr; }

private:
    T* p_ = nullptr;
};
