// The PDF actions on the user's files: images into one PDF, and PDFs split back into their JPEG
// pages. Win32 side.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/gdiplus_flat.h"
#include "pdf/pdf_actions.h"
#include "pdf/pdf_writer.h"

// One image file made into a page: turned upright by its EXIF orientation, flattened onto white
// and encoded as JPEG with the given encoder and parameters. Nothing when the image cannot be used;
// every failure is logged.
std::optional<PageImage> PrepareJpegPage(const wchar_t* path, const CLSID& encoder,
                                         const Gdiplus::EncoderParameters* params);

// Stands between the writer and the file when given (a test fails the writing part-way with it).
using SinkFilter = std::function<ByteSink(const ByteSink& fileSink)>;

// Creates `path` as a new file, never over an existing one, and writes the PDF of `pages` into it.
// A file that was not written whole is removed again. Logs the outcome; true only when the whole
// PDF is on disk.
bool WritePdfFile(const wchar_t* path, std::span<const PageImage> pages, const SinkFilter& filter = {});

// Images to PDF on the image targets (or the picker's files).
void ExecutePdf();

// The open-file dialog for PDFs; empty when cancelled.
std::vector<std::wstring> PickPdfFiles();
// The PDFs among the targets, or else the picker's files.
std::vector<std::wstring> CollectPdfTargets();

// Writes one page file as a new file; 0 or the system error code. Replaceable so that tests can
// make a page fail.
using PageFileWriter = DWORD (*)(const wchar_t* path, const uint8_t* data, size_t size);
extern PageFileWriter pageFileWriter;

// Splits each PDF into page files next to it and shows the balloons of the run.
SplitTally SplitPdfFiles(const std::vector<std::wstring>& pdfs);

// PDF split on the PDF targets (or the picker's files).
void ExecutePdfSplit();
