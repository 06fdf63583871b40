// The plain files of one directory that match a wildcard pattern, sorted by name, for
// offering update files to choose from.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/ListBox.h"
#include "support/StringList.h"

// Scan result for a directory that does not exist (or cannot be searched).
constexpr int kFileListNoDirectory = -2000;

struct TFile {
    uint32_t attributes = 0;    // as the directory search reports them
    double creationTime = 0;    // local date-times: days since 30 Dec 1899 plus the time
    double lastAccessTime = 0;  // of day as a fraction; 0 when the time cannot be
    double lastWriteTime = 0;   // converted
    uint64_t size = 0;
    std::string name;
    std::string shortName;  // the 8.3 name, where the file system keeps one
    std::string directory;  // the list's directory
};

class TFileList {
public:
    TFileList() = default;
    // Scans at once when both are given.
    TFileList(std::string directory, std::string pattern);

    // Lists directory + pattern (joined as they are: the directory ends in a separator),
    // "*.*" when the pattern is empty. Keeps files, not directories, sorted by name ignoring
    // case. 0, or kFileListNoDirectory with an empty list.
    int Scan();

    // Clears the list and adds the names in order, each without its extension (from its
    // last dot on) when stripExtensions is set. A null list raises EInvalidOperation.
    void FillStringList(TStrings* list, bool stripExtensions) const;
    // The same into a list box's items, as one batch of changes.
    void FillListBox(TListBox* listBox, bool stripExtensions) const;

    const std::string& Directory() const { return directory_; }
    const std::string& Pattern() const { return pattern_; }
    int Count() const { return static_cast<int>(entries_.size()); }
    const TFile& operator[](int index) const { return entries_.at(static_cast<size_t>(index)); }
    const std::vector<TFile>& Entries() const { return entries_; }

private:
    std::string directory_;
    std::string pattern_;
    std::vector<TFile> entries_;
};

// A name without its extension (from its last dot on); a name without a dot is kept whole.
std::string StripExtension(const std::string& name);

// A local calendar date and time as a date-time value (days since 30 Dec 1899, time of day
// as the fraction); 0 when the fields do not make a valid date and time.
double EncodeDateTime(int year, int month, int day, int hour, int minute, int second,
                      int millisecond);
