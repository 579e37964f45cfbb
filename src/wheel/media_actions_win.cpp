#include <windows.h>

#include "base/log_line.h"
#include "imaging/image_actions_win.h"
#include "pdf/pdf_actions_win.h"
#include "wheel/wheel_win.h"

void RunMediaAction(MediaAction action, const std::wstring& argument) {
    switch (action) {
    case MediaAction::Convert: ExecuteConvert(argument); break;
    case MediaAction::Compress: ExecuteCompress(); break;
    case MediaAction::Pdf: ExecutePdf(); break;
    case MediaAction::Split: ExecutePdfSplit(); break;
    // The screen tools come with their own piece of work; say so rather than pretend.
    case MediaAction::AreaCrop: LogMessage(L"StartAreaCrop: not available in this build"); break;
    case MediaAction::FullScreen: LogMessage(L"CaptureFullScreen: not available in this build"); break;
    case MediaAction::None: break;
    }
}
