#include "pdf/pdf_actions.h"

SplitClosing DecideSplitClosing(const SplitTally& tally) {
    if (tally.pagesWritten > 0) return SplitClosing::Finished;
    if (tally.inputs == 0) return SplitClosing::None;
    // Only PDFs without pages: each of them has told the user already.
    if (tally.unreadable == 0 && tally.pagesFound == 0) return SplitClosing::None;
    return SplitClosing::NothingWritten;
}

namespace {

// Markers without a length field: TEM, the restart markers and a repeated start of image.
bool IsStandaloneMarker(uint8_t marker) {
    return marker == 0x01 || marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7);
}

}  // namespace

bool JpegSegmentsFit(const uint8_t* data, size_t size) {
    if (data == nullptr || size < 4 || data[0] != 0xFF || data[1] != 0xD8) return false;
    size_t pos = 2;
    while (pos < size) {
        if (data[pos] != 0xFF) return false;
        while (pos < size && data[pos] == 0xFF) ++pos;  // fill bytes before a marker code
        if (pos >= size) return false;
        const uint8_t marker = data[pos++];
        if (marker == 0xD9) return true;
        if (marker == 0x00) return false;  // a stuffed zero is no marker outside entropy-coded data
        if (IsStandaloneMarker(marker)) continue;
        if (size - pos < 2) return false;
        const size_t length = (static_cast<size_t>(data[pos]) << 8) | data[pos + 1];
        if (length < 2 || length > size - pos) return false;
        pos += length;
        if (marker != 0xDA) continue;
        // Entropy-coded data runs to the next FF that is neither a stuffed zero nor a restart marker.
        while (pos + 1 < size &&
               !(data[pos] == 0xFF && data[pos + 1] != 0x00 && (data[pos + 1] < 0xD0 || data[pos + 1] > 0xD7))) {
            ++pos;
        }
        if (pos + 1 >= size) return false;
    }
    return false;
}
