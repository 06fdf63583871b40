// The entries HotSync Manager calls besides the run: the name, the information it asks for,
// the HotSync action dialog's effect on the preference record, and putting the default
// conduit back.
#include "conduit/ConduitEntries.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "base/ByteOrder.h"
#include "base/SyncLayouts.h"
#include "conduit/tests/PassWorld.h"

namespace {

TEST(ConduitEntries, NameFillsTheWholeBufferAndFits) {
    char buffer[8];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(ConduitName(buffer, 4), 0);
    EXPECT_STREQ(buffer, "Sta");
    EXPECT_EQ(buffer[4], 'x') << "nothing past the length given";
    char whole[16];
    ConduitName(whole, sizeof whole);
    EXPECT_STREQ(whole, "Stashmate");
    EXPECT_EQ(whole[15], 0);
}

TEST(ConduitEntries, InformationAsAsked) {
    const uint32_t nameRequest[2] = {1, 80}, badRequest[2] = {1, 81};
    struct Row {
        const char* catches;
        int32_t kind;
        const void* input;
        bool output, size;
        uint32_t sizeValue;
        int32_t result;
        std::vector<uint8_t> written;  // the output's first bytes afterwards
    };
    const Row rows[] = {
        {"no output buffer", 0, nameRequest, false, true, 16, 4209, {}},
        {"no size", 0, nameRequest, true, false, 16, 4215, {}},
        {"a name request without its input", 0, nullptr, true, true, 16, 4212, {'?', '?'}},
        {"a name request whose second value is not 80 leaves the output alone",
         0,
         badRequest,
         true,
         true,
         16,
         4213,
         {'?', '?'}},
        {"the name, cut to the size", 0, nameRequest, true, true, 4, 0, {'S', 't', 'a', 0, '?'}},
        {"the class library's version", 1, nullptr, true, true, 4, 0, {0x00, 0x05, 0, 0}},
        {"a version needs four bytes", 1, nullptr, true, true, 8, 4211, {'?'}},
        {"the default action: handheld overwrites desktop",
         2,
         nullptr,
         true,
         true,
         4,
         0,
         {2, 0, 0, 0}},
        {"an action needs four bytes", 2, nullptr, true, true, 2, 4211, {'?'}},
        {"anything else", 3, nullptr, true, true, 4, 4208, {'?'}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.catches);
        std::vector<uint8_t> output(16, '?');
        uint32_t size = r.sizeValue;
        EXPECT_EQ(ConduitInfo(r.kind, r.input, r.output ? output.data() : nullptr,
                              r.size ? &size : nullptr),
                  r.result);
        EXPECT_TRUE(std::equal(r.written.begin(), r.written.end(), output.begin()));
    }
}

class ScriptedDialog : public SyncActionDialog {
public:
    bool ok = true;
    SyncAction choose = SyncAction::DoNothing;
    bool asDefault = false;
    SyncAction shown = SyncAction::DoNothing;
    bool Ask(SyncAction& action, bool& setAsDefault) override {
        shown = action;
        EXPECT_FALSE(setAsDefault) << "the box starts unchecked";
        if (!ok) return false;
        action = choose;
        setAsDefault = asDefault;
        return true;
    }
};

TEST(ConduitEntries, HotSyncActionDialogWritesThePreferenceRecord) {
    struct Row {
        uint32_t syncType;
        SyncAction shown;
        bool ok;
        SyncAction choose;
        bool asDefault;
        int32_t result;
        uint32_t typeAfter, permanenceAfter;
    };
    const Row rows[] = {
        {2, SyncAction::HandheldOverwrites, true, SyncAction::DoNothing, true, 0, 6, 1},
        {6, SyncAction::DoNothing, true, SyncAction::DesktopOverwrites, false, 0, 3, 2},
        {3, SyncAction::DesktopOverwrites, true, SyncAction::HandheldOverwrites, false, 0, 2, 2},
        {0, SyncAction::HandheldOverwrites, true, SyncAction::HandheldOverwrites, false, 0, 2, 2},
        {6, SyncAction::DoNothing, false, SyncAction::HandheldOverwrites, true, -1, 6, 77},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.syncType);
        std::vector<uint8_t> record(syncprefs::kSize, 0);
        byteorder::PutLE32(&record[syncprefs::kSyncType], r.syncType);
        byteorder::PutLE32(&record[syncprefs::kPermanence], 77);
        ScriptedDialog dialog;
        dialog.ok = r.ok;
        dialog.choose = r.choose;
        dialog.asDefault = r.asDefault;
        EXPECT_EQ(ConfigureSyncAction(record.data(), dialog), r.result);
        EXPECT_EQ(dialog.shown, r.shown);
        EXPECT_EQ(byteorder::GetLE32(&record[syncprefs::kSyncType]),
                  r.ok ? r.typeAfter : r.syncType);
        EXPECT_EQ(byteorder::GetLE32(&record[syncprefs::kPermanence]), r.permanenceAfter);
    }
}

TEST(ConduitEntries, DefaultConduitRestoredOrTheFailureLogged) {
    LinesLog log;
    std::string written;
    EXPECT_EQ(RestoreDefaultBackupConduit(
                  [&](const std::string& file) {
                      written = file;
                      return 0;
                  },
                  log),
              0);
    EXPECT_EQ(written, "bakcn20.dll");
    EXPECT_EQ(log.lines, std::vector<std::string>{
                             "Default backup conduit succesfully restored.  HotSync Manager "
                             "should be restarted."});
    log.lines.clear();
    EXPECT_EQ(RestoreDefaultBackupConduit([](const std::string&) { return 2; }, log), 2);
    EXPECT_EQ(log.lines,
              std::vector<std::string>{"! Unable to restore default backup conduit (2)"});
}

}  // namespace
