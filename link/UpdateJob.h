// One run of the flash update procedure: writing the OS sections of an update file that
// differ from what the handheld holds and finalising the flash store, or writing the file's
// RAM sections. Progress goes to the page through the callback, which is also where an abort
// request is seen.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "base/ResultCodes.h"
#include "image/UpdateFile.h"
#include "image/UpdateImage.h"

class GuiCallback;
class TLoader;
struct ChipTable;

// Percent done after `x` of `total` thousand bytes: 5..99 in advanced mode, 1..99 in normal
// mode; an `x` beyond the total counts as the total. A total of 0 (every section under 1000
// bytes) counts as done.
int32_t ProgressPercent(uint32_t x, uint32_t total, bool advancedMode);

// Whether every OS section can be flashed as whole blocks: it must start an erase block (a
// block entered in the middle would be programmed without being erased) and end inside
// flash. 0, -4000 or -4001 for the first section that cannot.
[[nodiscard]] TResult CheckSectionsFit(const ChipTable& chips, std::span<const OsSection> sections);

class UpdateJob {
public:
    // Neither is owned; `callback` may be absent.
    UpdateJob(GuiCallback* callback, TLoader* loader, bool advancedMode);

    // Both write from the image alone; its file is never opened again.
    [[nodiscard]] TResult FlashOsImage(const std::shared_ptr<const UpdateImage>& image);
    [[nodiscard]] TResult InstallRamImage(const std::shared_ptr<const UpdateImage>& image);

private:
    // Both report P(x) and then see whether the page asked to stop.
    bool ReportAndCheckAbort(uint32_t x, uint32_t total);
    bool AbortRequested() const;
    void Report(int32_t percent);

    [[nodiscard]] TResult FlashSection(TUpdateFile& file, const OsSection& section, uint32_t done,
                                       uint32_t total);
    [[nodiscard]] TResult WriteRamSection(TUpdateFile& file, const RamSection& section,
                                          uint32_t done, uint32_t total);
    bool ObtainBuffer();
    // Both jobs start by reading the image's header, and end by letting the buffer and the
    // file go and seeing whether the page asked to stop.
    [[nodiscard]] TResult Begin(const std::shared_ptr<const UpdateImage>& image, TUpdateFile& file,
                                DesktopHeader& header);
    bool EndAborted(TUpdateFile& file);

    GuiCallback* callback_;
    TLoader* loader_;
    uint8_t finalise_ = 0;
    bool advancedMode_;
    std::unique_ptr<uint8_t[]> block_;
};
