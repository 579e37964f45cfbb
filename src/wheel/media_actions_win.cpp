#include <windows.h>

#include "base/log_line.h"
#include "capture/capture_win.h"
#include "imaging/image_actions_win.h"
#include "pdf/pdf_actions_win.h"
#include "wheel/wheel_win.h"

void RunMediaAction(MediaAction action, const std::wstring& argument) {
    switch (action) {
    case MediaAction::Convert: ExecuteConvert(argument); break;
    case MediaAction::Compress: ExecuteCompress(); break;
    case MediaAction::Pdf: ExecutePdf(); break;
    case MediaAction::Split: ExecutePdfSplit(); break;
    case MediaAction::AreaCrop: StartAreaCrop(); break;
    case MediaAction::FullScreen: CaptureFullScreen(); break;
    case MediaAction::None: break;
    }
}
