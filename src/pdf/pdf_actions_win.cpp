#include "pdf/pdf_actions_win.h"

#include <shlobj.h>

#include <cstring>
#include <memory>
#include <new>

#include "base/log_line.h"
#include "base/notify_win.h"
#include "base/text.h"
#include "base/win_handles.h"
#include "imaging/codec_win.h"
#include "imaging/output_naming.h"
#include "pdf/pdf_split.h"
#include "targets/file_pick.h"
#include "targets/pickers_win.h"
#include "targets/targets_win.h"

PageFileWriter pageFileWriter = WriteNewFile;

namespace {

constexpr ULONG kPdfJpegQuality = 85;

void AnnounceCreated(const wchar_t* path) {
    SHChangeNotify(SHCNE_CREATE, SHCNF_PATHW, path, nullptr);
}

void AnnounceFolderOf(const PathParts& parts) {
    const std::wstring folder = parts.drive + parts.dir;
    SHChangeNotify(SHCNE_UPDATEDIR, SHCNF_PATHW, folder.c_str(), nullptr);
}

// Decodes a candidate page from memory only to confirm it and learn its size.
std::optional<JpegDimensions> DecodeJpegDimensions(const uint8_t* data, size_t size) {
    // A segment running past the end would make the decoder seek beyond the memory stream, and
    // Wine's stream then reads outside its block.
    if (!JpegSegmentsFit(data, size)) return std::nullopt;
    ScopedGlobal block(GlobalAlloc(GMEM_MOVEABLE, size));
    if (!block) return std::nullopt;
    {
        ScopedGlobalLock lock(block.get());
        if (!lock.get()) return std::nullopt;
        std::memcpy(lock.get(), data, size);
    }
    ComPtr<IStream> stream;
    const HRESULT hr = CreateStreamOnHGlobal(block.get(), TRUE, stream.put());
    if (FAILED(hr) || !stream) return std::nullopt;
    block.release();  // the stream frees it when released

    GpBitmap* bitmap = nullptr;
    const GpStatus status = GdipCreateBitmapFromStream(stream.get(), &bitmap);
    GdipImageHolder image(bitmap);  // goes before the stream it reads from
    if (status != Ok || !image) return std::nullopt;
    UINT width = 0, height = 0;
    GdipGetImageWidth(image.get(), &width);
    GdipGetImageHeight(image.get(), &height);
    if (width == 0 || height == 0) return std::nullopt;
    return JpegDimensions{width, height};
}

// Reads a whole PDF into memory; logs and returns null when it cannot.
std::unique_ptr<uint8_t[]> ReadPdfFile(const wchar_t* path, size_t& size) {
    ScopedHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                  nullptr));
    if (!file) {
        LogMessage(L"  ExecutePdfSplit: Failed to open file, err=%lu", GetLastError());
        return nullptr;
    }
    LARGE_INTEGER fileSize = {};
    if (!GetFileSizeEx(file.get(), &fileSize) || fileSize.QuadPart <= 0 ||
        static_cast<unsigned long long>(fileSize.QuadPart) > kMaxSplitPdfBytes) {
        LogMessage(L"  ExecutePdfSplit: Invalid file size");
        return nullptr;
    }
    size = static_cast<size_t>(fileSize.QuadPart);
    std::unique_ptr<uint8_t[]> bytes(new (std::nothrow) uint8_t[size]);
    if (!bytes) {
        LogMessage(L"  ExecutePdfSplit: Out of memory for %zu bytes", size);
        return nullptr;
    }
    DWORD read = 0;
    if (!ReadFile(file.get(), bytes.get(), static_cast<DWORD>(size), &read, nullptr) || read != size) {
        LogMessage(L"  ExecutePdfSplit: ReadFile failed or incomplete");
        return nullptr;
    }
    return bytes;
}

// Writes page `pageNumber` of the PDF whose page names derive from `basePath`; true when the file
// was created and written whole.
bool WritePageFile(const std::wstring& basePath, size_t pageNumber, const JpegStreamView& page) {
    wchar_t outPath[kOutputPathCapacity];
    if (!MakeOutputPath(basePath, PageSuffix(pageNumber), L"jpg", outPath, kOutputPathCapacity)) {
        LogMessage(L"  ExecutePdfSplit: No free file name for page %zu of %ls", pageNumber, basePath.c_str());
        return false;
    }
    const DWORD err = pageFileWriter(outPath, page.data, page.size);
    if (err != 0) {
        LogMessage(L"  ExecutePdfSplit: Write FAILED for %ls, err=%lu", outPath, err);
        return false;
    }
    AnnounceCreated(outPath);
    LogMessage(L"  ExecutePdfSplit: Created image %ls", outPath);
    return true;
}

void SplitPdfFile(const std::wstring& path, SplitTally& tally) {
    LogMessage(L"ExecutePdfSplit: Processing %ls", path.c_str());
    PathParts parts;
    if (!SplitPathParts(path, parts)) {
        LogMessage(L"  ExecutePdfSplit: Path too long to name pages after: %ls", path.c_str());
        ++tally.unreadable;
        return;
    }
    const std::wstring basePath = parts.drive + parts.dir + SplitBaseName(parts.stem) + L".pdf";
    size_t size = 0;
    const std::unique_ptr<uint8_t[]> bytes = ReadPdfFile(path.c_str(), size);
    if (!bytes) {
        ++tally.unreadable;
        return;
    }

    // Each page goes to its file as soon as it is confirmed: no copy of the pages is kept.
    const auto onPage = [&](size_t pageNumber, const JpegStreamView& page) {
        LogMessage(L"  ExecutePdfSplit: Valid JPEG extracted #%zu (%ux%u, %zu bytes)", pageNumber, page.width,
                   page.height, page.size);
        if (WritePageFile(basePath, pageNumber, page)) ++tally.pagesWritten;
    };
    const size_t found = ForEachJpegStream(bytes.get(), size, DecodeJpegDimensions, onPage);
    if (found == 0) {
        LogMessage(L"ExecutePdfSplit: No valid JPEG image pages found in %ls", path.c_str());
        ShowTrayBalloon(L"PDF Split", L"Tidak ditemukan halaman gambar yang dapat di-unmerge pada file ini.");
        ++tally.withoutPages;
        return;
    }
    AnnounceFolderOf(parts);
    tally.pagesFound += found;
}

}  // namespace

std::optional<PageImage> PrepareJpegPage(const wchar_t* path, const CLSID& encoder,
                                         const Gdiplus::EncoderParameters* params) {
    GdipImageHolder image;
    const GpStatus openStatus = OpenImageFile(path, image);
    if (openStatus != Ok || !image) {
        LogMessage(L"  ExecutePdf: Failed to open %ls, status=%d", path, static_cast<int>(openStatus));
        return std::nullopt;
    }
    ApplyOrientation(image.get(), ReadImageOrientation(image.get(), path));

    UINT width = 0, height = 0;
    GdipGetImageWidth(image.get(), &width);
    GdipGetImageHeight(image.get(), &height);
    if (width == 0 || height == 0) {
        LogMessage(L"  ExecutePdf: Invalid dimensions %ux%u for %ls", width, height, path);
        return std::nullopt;
    }

    GdipImageHolder flatBmp;
    Gdiplus::PixelFormat format = 0;
    GdipGetImagePixelFormat(image.get(), &format);
    if (format == PixelFormat24bppRGB) {
        // An opaque 24-bit picture (every camera photo) is encoded as it stands: drawing it onto
        // white changes no pixel and cost a third of the page's time. What the file says about the
        // camera and the place must not travel into the PDF, so its metadata goes first.
        RemoveAllProperties(image.get());
        flatBmp = std::move(image);
    } else {
        const GpStatus flattenStatus = FlattenOntoWhite(image.get(), width, height, flatBmp);
        // Only the flat copy is encoded; letting the decoded image go first keeps one full-size bitmap fewer.
        image.reset();
        if (flattenStatus != Ok || !flatBmp) {
            // No bitmap to save (a huge image, say): the save fails with the reason the copy did.
            LogMessage(L"  ExecutePdf: flatBmp.Save to stream failed, status=%d",
                       static_cast<int>(flattenStatus != Ok ? flattenStatus : Gdiplus::GenericError));
            return std::nullopt;
        }
    }

    PageImage page;
    const EncodeResult encoded = EncodeToMemory(flatBmp.get(), encoder, params, page.jpeg);
    flatBmp.reset();
    switch (encoded.failedAt) {
    case EncodeStep::Done:
        break;
    case EncodeStep::CreateStream:
        LogMessage(L"  ExecutePdf: CreateStreamOnHGlobal failed, hr=0x%08X", static_cast<unsigned>(encoded.hr));
        return std::nullopt;
    case EncodeStep::Save:
        LogMessage(L"  ExecutePdf: flatBmp.Save to stream failed, status=%d", static_cast<int>(encoded.status));
        return std::nullopt;
    case EncodeStep::GetHGlobal:
        LogMessage(L"  ExecutePdf: GetHGlobalFromStream failed, hr=0x%08X", static_cast<unsigned>(encoded.hr));
        return std::nullopt;
    case EncodeStep::Lock:
        LogMessage(L"  ExecutePdf: GlobalLock failed or byteCount=0");
        return std::nullopt;
    }
    if (page.jpeg.empty()) {
        LogMessage(L"  ExecutePdf: GlobalLock failed or byteCount=0");
        return std::nullopt;
    }
    page.width = width;
    page.height = height;
    SetPageSize(page);
    // A page whose dictionary would misdescribe its JPEG would render wrong; leave it out instead.
    const PageRefusal refusal = CheckPageImage(page);
    if (refusal != PageRefusal::None) {
        LogMessage(L"  ExecutePdf: Page refused for %ls: %hs", path, PageRefusalText(refusal));
        return std::nullopt;
    }
    LogMessage(L"  ExecutePdf: Image accepted (%ux%u, %zu bytes JPEG)", width, height, page.jpeg.size());
    return page;
}

bool WritePdfFile(const wchar_t* path, std::span<const PageImage> pages, const SinkFilter& filter) {
    ScopedHandle file(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        LogMessage(L"ExecutePdf: CreateFileW FAILED for %ls, err=%lu", path, GetLastError());
        return false;
    }
    const ByteSink fileSink = [&file](const void* data, uint32_t size) {
        DWORD written = 0;
        if (!WriteFile(file.get(), data, size, &written, nullptr)) return false;
        if (written != size) {
            SetLastError(ERROR_WRITE_FAULT);
            return false;
        }
        return true;
    };
    const ByteSink inner = filter ? filter(fileSink) : fileSink;
    DWORD writeError = 0;
    const ByteSink sink = [&inner, &writeError](const void* data, uint32_t size) {
        if (inner(data, size)) return true;
        writeError = GetLastError();
        return false;
    };
    const PdfWriteResult result = WriteImagePdf(sink, pages);
    const bool closed = CloseHandle(file.release()) != FALSE;
    if (result.complete && !closed) writeError = GetLastError();

    if (!result.complete || !closed) {
        if (result.refusal != PageRefusal::None) {
            LogMessage(L"ExecutePdf: Page %zu refused: %hs", result.refusedPage + 1, PageRefusalText(result.refusal));
            writeError = ERROR_INVALID_DATA;
        } else if (writeError == 0) {
            writeError = ERROR_FILE_TOO_LARGE;  // the writer stopped before offsets outgrew the format
        }
        LogMessage(L"ExecutePdf: Write FAILED for %ls, err=%lu", path, writeError);
        if (!DeleteFileW(path)) LogMessage(L"ExecutePdf: DeleteFileW FAILED for %ls, err=%lu", path, GetLastError());
        return false;
    }
    LogMessage(L"ExecutePdf: Finished successfully. Total %zu bytes written.", static_cast<size_t>(result.bytesWritten));
    return true;
}

void ExecutePdf() {
    const std::vector<std::wstring> inputs = GetImageTargets();
    if (inputs.empty()) {
        LogMessage(L"ExecutePdf: targets empty, aborting.");
        return;
    }
    LogMessage(L"ExecutePdf: Starting PDF export for %zu targets", inputs.size());

    CLSID encoder = {};
    FindEncoderClsid(L"image/jpeg", &encoder);  // without one, every image fails at its save
    const QualityParameter quality(kPdfJpegQuality);
    ActionProgress progress(L"Image to PDF", inputs.size());
    std::vector<PageImage> pages;
    for (size_t i = 0; i < inputs.size(); ++i) {
        progress.Step(i);
        LogMessage(L"ExecutePdf: Reading %ls", inputs[i].c_str());
        std::optional<PageImage> page = PrepareJpegPage(inputs[i].c_str(), encoder, quality.get());
        if (page) pages.push_back(std::move(*page));
    }
    if (pages.empty()) {
        LogMessage(L"ExecutePdf: No valid images processed. PDF creation cancelled.");
        ShowNothingWrittenBalloon(L"Image to PDF", inputs.size());
        return;
    }

    // Named after the first input, whether or not that one became a page.
    wchar_t outPath[kOutputPathCapacity];
    if (!MakeOutputPath(inputs.front(), L"-merged", L"pdf", outPath, kOutputPathCapacity)) {
        LogMessage(L"ExecutePdf: No free output file name for %ls", inputs.front().c_str());
        return;
    }
    LogMessage(L"ExecutePdf: Output file -> %ls", outPath);
    if (!WritePdfFile(outPath, pages)) return;

    AnnounceCreated(outPath);
    PathParts parts;
    if (SplitPathParts(outPath, parts)) AnnounceFolderOf(parts);
    wchar_t text[256];
    FormatText(text, ARRAYSIZE(text), L"PDF dibuat: %ls%ls", parts.stem.c_str(), parts.ext.c_str());
    ShowTrayBalloon(L"Image to PDF Selesai", text);
}

std::vector<std::wstring> PickPdfFiles() {
    return PickFiles(L"PDF Documents (*.pdf)\0*.pdf\0All Files (*.*)\0*.*\0", L"Pilih File PDF untuk di-Split / Unmerge");
}

std::vector<std::wstring> CollectPdfTargets() {
    // The PDFs selected in Explorer first: targets only ever holds images when it was detected.
    if (!selectedPdfs.empty()) return selectedPdfs;
    std::vector<std::wstring> pdfs = CollectPdfPaths(targets);
    if (!pdfs.empty()) return pdfs;
    return PickPdfFiles();
}

SplitTally SplitPdfFiles(const std::vector<std::wstring>& pdfs) {
    SplitTally tally;
    tally.inputs = pdfs.size();
    ActionProgress progress(L"PDF Split", pdfs.size());
    for (size_t i = 0; i < pdfs.size(); ++i) {
        progress.Step(i);
        SplitPdfFile(pdfs[i], tally);
    }
    switch (DecideSplitClosing(tally)) {
    case SplitClosing::Finished: {
        wchar_t text[256];
        FormatText(text, ARRAYSIZE(text), L"Berhasil meng-unmerge %d gambar dari PDF!",
                   static_cast<int>(tally.pagesWritten));
        ShowTrayBalloon(L"PDF Unmerge Selesai", text);
        break;
    }
    case SplitClosing::NothingWritten:
        ShowNothingWrittenBalloon(L"PDF Split", tally.inputs);
        break;
    case SplitClosing::None:
        break;
    }
    return tally;
}

void ExecutePdfSplit() {
    const std::vector<std::wstring> pdfs = CollectPdfTargets();
    if (pdfs.empty()) {
        LogMessage(L"ExecutePdfSplit: targets empty, aborting.");
        return;
    }
    SplitPdfFiles(pdfs);
}
