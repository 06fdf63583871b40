// Natively there is no desktop to show windows on: the run reports to nothing and is never
// cancelled from here (tests hand in windows of their own).
#include "conduit/BackupWindows.h"

namespace {

class NoWindows : public BackupWindows {
public:
    void Open() override {}
    void Close() override {}
    void SetTitle(const std::string&) override {}
    void StartPass(int) override {}
    void StepPass() override {}
    void StartItem(const std::string&, const std::string&, int) override {}
    void StepItem() override {}
    bool CancelRequested() override { return false; }
};

}  // namespace

std::unique_ptr<BackupWindows> MakeBackupWindows() { return std::make_unique<NoWindows>(); }
