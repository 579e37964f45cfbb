#include "imaging/image_actions_win.h"

#include <shlobj.h>

#include <vector>

#include "base/log_line.h"
#include "base/notify_win.h"
#include "imaging/codec_win.h"
#include "imaging/output_naming.h"
#include "targets/pickers_win.h"

namespace {

constexpr ULONG kCompressQuality = 60;

// What differs between a conversion and a compression run; the per-file pipeline is shared.
struct ImageRun {
    const wchar_t* action;     // first word of the log lines, e.g. "ExecuteConvert"
    const wchar_t* verb;       // "convert" in "  Saving convert to: ..."
    const wchar_t* verdict;    // "Convert" in "  Convert success -> ..."
    const wchar_t* shortName;  // what the tray shows while the run goes on
    const wchar_t* suffix;
    const wchar_t* extension;
    const wchar_t* mimeType;
    bool flattenAlpha;         // JPEG has no transparency: composite over white first
    const Gdiplus::EncoderParameters* params;
};

void LogEncodeFailure(const ImageRun& run, const wchar_t* output, const EncodeResult& r) {
    if (r.failedAt == EncodeStep::Save)
        LogMessage(L"  %ls FAILED for %ls, status=%d", run.verdict, output, static_cast<int>(r.status));
    else
        LogMessage(L"  %ls FAILED for %ls, hr=0x%08X", run.verdict, output, static_cast<unsigned>(r.hr));
}

// One input file to one new output file; returns true when the file was written.
bool ProcessOne(const ImageRun& run, const ImageEncoder& encoder, const std::wstring& input) {
    LogMessage(L"%ls: Opening %ls", run.action, input.c_str());
    GdipImageHolder image;
    GpStatus status = OpenImageFile(input.c_str(), image);
    if (status != Ok) {
        LogMessage(L"  Bitmap open failed for %ls, status=%d", input.c_str(), static_cast<int>(status));
        return false;
    }
    // Phone photos are stored sideways with a tag saying how to stand them up; the output has no
    // such tag, so the pixels themselves must be turned.
    ApplyOrientation(image.get(), ReadImageOrientation(image.get(), input.c_str()));

    wchar_t output[kOutputPathCapacity];
    if (!MakeOutputPath(input, run.suffix, run.extension, output, kOutputPathCapacity)) {
        LogMessage(L"  No free output name for %ls, skipped", input.c_str());
        return false;
    }
    LogMessage(L"  Saving %ls to: %ls", run.verb, output);

    GpImage* source = image.get();
    GdipImageHolder flat;
    if (run.flattenAlpha && HasAlphaChannel(image.get())) {
        UINT width = 0, height = 0;
        GdipGetImageWidth(image.get(), &width);
        GdipGetImageHeight(image.get(), &height);
        status = FlattenOntoWhite(image.get(), width, height, flat);
        if (status != Ok) {
            LogMessage(L"  %ls FAILED for %ls, status=%d", run.verdict, output, static_cast<int>(status));
            return false;
        }
        source = flat.get();
    }

    // Encoded in memory and written as a new file, so an existing file is never replaced and a
    // failed write leaves nothing behind.
    std::vector<uint8_t> bytes;
    EncodeResult encoded = EncodeImage(source, encoder, bytes);
    flat.reset();
    image.reset();
    if (!encoded.ok()) {
        LogEncodeFailure(run, output, encoded);
        return false;
    }
    if (DWORD err = WriteNewFile(output, bytes.data(), bytes.size()); err != ERROR_SUCCESS) {
        LogMessage(L"  %ls FAILED for %ls, err=%lu", run.verdict, output, err);
        return false;
    }
    LogMessage(L"  %ls success -> %ls", run.verdict, output);
    SHChangeNotify(SHCNE_CREATE, SHCNF_PATHW, output, nullptr);
    return true;
}

void RunImageAction(const ImageRun& run) {
    const std::vector<std::wstring> inputs = GetImageTargets();
    if (inputs.empty()) return;

    const ImageEncoder encoder = FindImageEncoder(run.mimeType, run.params);

    ActionProgress progress(run.shortName, inputs.size());
    std::wstring lastDir;
    size_t written = 0;
    for (size_t i = 0; i < inputs.size(); ++i) {
        progress.Step(i);
        if (!ProcessOne(run, encoder, inputs[i])) continue;
        ++written;
        PathParts parts;
        SplitPathParts(inputs[i], parts);
        lastDir = parts.drive + parts.dir;
    }
    if (!lastDir.empty()) SHChangeNotify(SHCNE_UPDATEDIR, SHCNF_PATHW, lastDir.c_str(), nullptr);
    if (written == 0) ShowNothingWrittenBalloon(run.shortName, inputs.size());
}

}  // namespace

void ExecuteConvert(const std::wstring& format) {
    // The format names the extension and the encoder, compared exactly.
    static constexpr struct {
        const wchar_t* format;
        const wchar_t* mimeType;
        bool flattenAlpha;
    } kFormats[] = {
        {L"png", L"image/png", false},
        {L"jpg", L"image/jpeg", true},
        {L"jpeg", L"image/jpeg", true},
        {L"webp", L"image/webp", false},
    };
    for (const auto& f : kFormats) {
        if (format != f.format) continue;
        const ImageRun run = {L"ExecuteConvert", L"convert", L"Convert", L"Format Image", L"", f.format,
                              f.mimeType, f.flattenAlpha, nullptr};
        RunImageAction(run);
        return;
    }
    LogMessage(L"ExecuteConvert: unknown format \"%ls\"", format.c_str());
}

void ExecuteCompress() {
    const QualityParameter quality(kCompressQuality);
    const ImageRun run = {L"ExecuteCompress", L"compress", L"Compress", L"Compress", L"-compressed", L"jpg",
                          L"image/jpeg", true, quality.get()};
    RunImageAction(run);
}
