#include "support/Filelist.h"

#include <algorithm>
#include <utility>

#include "base/Exceptions.h"
#include "base/Text.h"

namespace {

constexpr size_t kFirstCapacity = 18;

}  // namespace

TFileList::TFileList(std::unique_ptr<FileSearchEdge> search)
    : ownSearch_(std::move(search)), search_(ownSearch_.get()) {}

TFileList::TFileList(std::string directory, std::string pattern,
                     std::unique_ptr<FileSearchEdge> search)
    : TFileList(std::move(directory), std::move(pattern), *search) {
    ownSearch_ = std::move(search);
}

TFileList::TFileList(std::string directory, std::string pattern, FileSearchEdge& search)
    : directory_(std::move(directory)), pattern_(std::move(pattern)), search_(&search) {
    // A directory that does not exist just leaves the list empty here; a caller that must
    // tell the two apart scans again and reads the code.
    if (!directory_.empty() && !pattern_.empty()) (void)Scan();
}

TResult TFileList::Scan() {
    entries_.clear();
    const std::string pattern = pattern_.empty() ? "*.*" : pattern_;
    const bool searched = search_->Find(directory_ + pattern, [this](TFile&& file) {
        if (entries_.size() == entries_.capacity())
            entries_.reserve(entries_.empty() ? kFirstCapacity : entries_.capacity() * 2);
        file.directory = directory_;
        entries_.push_back(std::move(file));
    });
    if (!searched) {
        entries_.clear();
        return rc::NoDirectory;
    }
    // The directory's own order is whatever the file system keeps; names that differ only in
    // case (possible on case-sensitive file systems) are put in a fixed order too.
    std::sort(entries_.begin(), entries_.end(), [](const TFile& a, const TFile& b) {
        const int byText = CompareTextIgnoreCase(a.name, b.name);
        return byText != 0 ? byText < 0 : a.name < b.name;
    });
    return 0;
}

void TFileList::FillStringList(TStrings* list, bool stripExtensions) const {
    if (!list) throw EInvalidOperation("TFileList::FillStringList - list is NULL");
    list->Clear();
    for (const TFile& file : entries_)
        list->Add(stripExtensions ? StripExtension(file.name) : file.name);
}

void TFileList::FillListBox(TListBox* listBox, bool stripExtensions) const {
    if (!listBox) throw EInvalidOperation("TFileList::FillListBox - listbox is NULL");
    TUpdateGuard batch(listBox->Items());
    FillStringList(&listBox->Items(), stripExtensions);
}

std::string StripExtension(const std::string& name) {
    const auto dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

double EncodeDateTime(int year, int month, int day, int hour, int minute, int second,
                      int millisecond) {
    static constexpr int kMonthDays[2][12] = {
        {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31},
        {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31},
    };
    if (year < 1 || year > 9999 || month < 1 || month > 12) return 0;
    const bool leap = (year % 4 == 0) && (year % 100 != 0 || year % 400 == 0);
    const int* days = kMonthDays[leap ? 1 : 0];
    if (day < 1 || day > days[month - 1]) return 0;
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 ||
        millisecond < 0 || millisecond > 999)
        return 0;

    // Day 0 is 30 December 1899, which is day 693594 counted from 1 January of year 1.
    constexpr long kDayZero = 693594;
    long dayNumber = day;
    for (int m = 0; m < month - 1; ++m) dayNumber += days[m];
    const long y = year - 1;
    dayNumber += y * 365 + y / 4 - y / 100 + y / 400 - kDayZero;

    const double time =
        (((hour * 60.0 + minute) * 60.0 + second) * 1000.0 + millisecond) / (24.0 * 60 * 60 * 1000);
    // Before day 0 the time still counts away from midnight: the fraction is subtracted.
    const double date = static_cast<double>(dayNumber);
    return date < 0 ? date - time : date + time;
}
