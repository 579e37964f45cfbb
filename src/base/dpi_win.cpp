#include "base/dpi_win.h"

#include "base/log_line.h"
#include "base/win_handles.h"

int SystemDpi() {
    ScopedGetDc screen(nullptr);
    int dpi = screen ? GetDeviceCaps(screen.get(), LOGPIXELSX) : 0;
    return dpi > 0 ? dpi : 96;
}

int MonitorDpi(HMONITOR monitor) {
    using GetDpiForMonitorFn = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
    // Looked up at run time so the program still starts on older systems; the library stays
    // loaded for the process.
    static const GetDpiForMonitorFn getDpiForMonitor = []() -> GetDpiForMonitorFn {
        HMODULE shcore = LoadLibraryW(L"shcore.dll");
        return shcore ? reinterpret_cast<GetDpiForMonitorFn>(
                            reinterpret_cast<void*>(GetProcAddress(shcore, "GetDpiForMonitor")))
                      : nullptr;
    }();
    if (getDpiForMonitor) {
        UINT dpiX = 0, dpiY = 0;
        const int kEffectiveDpi = 0;  // MDT_EFFECTIVE_DPI
        HRESULT hr = getDpiForMonitor(monitor, kEffectiveDpi, &dpiX, &dpiY);
        if (SUCCEEDED(hr) && dpiX > 0) return static_cast<int>(dpiX);
        LogMessage(L"MonitorDpi: GetDpiForMonitor failed hr=0x%08X", static_cast<unsigned>(hr));
    }
    return SystemDpi();
}
