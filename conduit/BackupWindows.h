// The two windows a backup run shows while it works, both owned by the desktop window: an
// information window in the screen's top-left corner, and the progress window "Stashmate
// Progress..." with a bold title line (the phase), "Number of files left to process:" with
// the count of items still to do, a bar over the items of the current pass, a line naming the
// item being worked on ("Saving" and a database's name, "Using:" and a scanner's name) with a
// second bar over its steps, and a "&Cancel" button. The run is single-threaded inside
// HotSync Manager: the Win32 windows let their messages through whenever the run reports, so
// Cancel works; a pressed Cancel reads "Cancelling" from then on.
#pragma once

#include <memory>
#include <string>

class BackupWindows {
public:
    virtual ~BackupWindows() = default;

    virtual void Open() = 0;
    virtual void Close() = 0;
    virtual void SetTitle(const std::string& phase) = 0;
    // A pass over `items` items: all of them left, the bar at its start.
    virtual void StartPass(int items) = 0;
    // One item done: one fewer left, the bar a step on.
    virtual void StepPass() = 0;
    // The item now worked on, with `label` ("Saving", "Using:") and a bar of `steps` steps.
    virtual void StartItem(const std::string& label, const std::string& name, int steps) = 0;
    virtual void StepItem() = 0;
    // Whether the user has pressed Cancel since the windows opened.
    virtual bool CancelRequested() = 0;
};

// The Win32 windows; natively, windows that show nothing and are never cancelled.
std::unique_ptr<BackupWindows> MakeBackupWindows();
