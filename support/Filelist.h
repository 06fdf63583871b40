// The plain files of one directory that match a wildcard pattern, sorted by name, for
// offering update files to choose from.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/ResultCodes.h"
#include "support/FileSearchEdge.h"
#include "support/ListBox.h"
#include "support/StringList.h"

class TFileList {
public:
    explicit TFileList(std::unique_ptr<FileSearchEdge> search = MakeFileSearchEdge());
    // Scans at once when both are given.
    TFileList(std::string directory, std::string pattern,
              std::unique_ptr<FileSearchEdge> search = MakeFileSearchEdge());
    // The same with a search whose owner keeps it for longer than the list.
    TFileList(std::string directory, std::string pattern, FileSearchEdge& search);

    // Lists directory + pattern (joined as they are: the directory ends in a separator),
    // "*.*" when the pattern is empty. Keeps files, not directories, sorted by name ignoring
    // case. 0, or rc::NoDirectory (the directory does not exist) with an empty list.
    [[nodiscard]] TResult Scan();

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
    std::unique_ptr<FileSearchEdge> ownSearch_;  // null when its owner keeps the search
    FileSearchEdge* search_;
};

// A name without its extension (from its last dot on); a name without a dot is kept whole.
std::string StripExtension(const std::string& name);

// A local calendar date and time as a date-time value (days since 30 Dec 1899, time of day
// as the fraction); 0 when the fields do not make a valid date and time.
double EncodeDateTime(int year, int month, int day, int hour, int minute, int second,
                      int millisecond);
