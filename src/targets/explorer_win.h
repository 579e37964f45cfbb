// Explorer selection detection. Win32 side (COM adapter over the portable decision logic).
#pragma once

#include <windows.h>
#include <exdisp.h>
#include <shlobj.h>

#include <string>
#include <vector>

// What one detection found: the image files (they become `targets`) and, from the same window
// and by the same priorities, the selected PDF files (only the PDF split reads those).
struct DetectedSelection {
    std::vector<std::wstring> images;
    std::vector<std::wstring> pdfs;
};

// The selection of the Explorer window the user was working in at the press (or the desktop's).
// Creates the shell-windows object itself.
DetectedSelection DetectSelectedFiles(HWND hForeground);

// The same over a given shell-windows object and the status its creation returned (a test hands
// in its own objects; a null object with a failed status is the creation failing).
DetectedSelection DetectSelectedFilesFrom(HWND hForeground, IShellWindows* shellWindows, HRESULT createHr);

// Appends the image files selected in the browser's active view (and, into pdfs if not null, the
// PDF files); falls back to the CF_HDROP data object when the view yields no image.
void CollectViewSelection(IShellBrowser* browser, std::vector<std::wstring>& list, std::vector<std::wstring>* pdfs = nullptr);

// Appends the image files named by the data object's CF_HDROP format (PDFs into pdfs if not null).
void ExtractFromDataObject(IDataObject* dataObject, std::vector<std::wstring>& list, std::vector<std::wstring>* pdfs = nullptr);
