// Test equipment of the wizard's scenarios: one desk as a user has it. Palm Desktop with the
// HotSync Manager stand-in, the user's own HotSync set-up in its key, the kit unpacked in a
// folder of its own with the update files the scenario puts there, and a handheld of a few
// databases in the cradle: palmsim behind COM3 (started by the Linux half, wizard_world.sh,
// on request) and the same state directory seen by the stand-ins. The wizard is started and
// worked through the wizard driver, as a person would.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "base/RegistryEdge.h"
#include "sim/HandheldStore.h"
#include "sim/hotsync/ScratchWorld.h"
#include "tests/e2e/driver/WizardDriver.h"

namespace e2e {

// The pages' captions and the main window's, as the English program shows them.
inline constexpr const char* kMain = "v2.3  (Halvex devices)";
inline constexpr const char* kWelcome = "Welcome";
inline constexpr const char* kHotSyncPage = "HotSync Wizard";
inline constexpr const char* kResetPage = "Resetting the Palm";
inline constexpr const char* kConnectionPage = "Establishing a Communications Link";
inline constexpr const char* kBrowsePage = "Selecting a ROM Image";
inline constexpr const char* kUploadPage = "Uploading Image";
inline constexpr const char* kFinalPage = "Restoring Programs and Data";
inline constexpr const char* kFinishPage = "Complete";
inline constexpr const char* kHotSyncManager = "HotSync Manager";

// The pages' captions in one language, as the windows hold them (the ANSI code page), and the
// word that chooses the language on the wizard's command line.
struct Language {
    const char* code;     // names the folder of its screenshots
    const char* keyword;  // on the command line; none for the program's own
    const char* welcome;
    const char* hotSync;
    const char* reset;
    const char* connection;
    const char* browse;
    const char* upload;
    const char* final;
    const char* finish;
    const char* fileSelection;
};
inline constexpr Language kEnglish{"en",
                                   "",
                                   kWelcome,
                                   kHotSyncPage,
                                   kResetPage,
                                   kConnectionPage,
                                   kBrowsePage,
                                   kUploadPage,
                                   kFinalPage,
                                   kFinishPage,
                                   "Select the update file to use."};
inline constexpr Language kGerman{"de",
                                  "GERMAN",
                                  "Willkommen",
                                  "HotSync-Assistent",
                                  "Palm zur\xFC"
                                  "cksetzen",
                                  "Kommunikationsverbindung herstellen",
                                  "ROM-Image ausw\xE4hlen",
                                  "Image \xFC"
                                  "bertragen",
                                  "Programme und Daten wiederherstellen",
                                  "Fertig",
                                  "W\xE4hlen Sie die zu verwendende Update-Datei aus."};
inline constexpr Language kFrench{"fr",
                                  "FRENCH",
                                  "Bienvenue",
                                  "Assistant HotSync",
                                  "R\xE9initialisation du Palm",
                                  "\xC9tablissement d'une liaison de communication",
                                  "S\xE9lection d'une image ROM",
                                  "Transfert de l'image",
                                  "Restauration des programmes et des donn\xE9"
                                  "es",
                                  "Termin\xE9",
                                  "S\xE9lectionnez le fichier de mise \xE0 jour \xE0 utiliser."};

// The Linux half: palmsim and what only Linux can tell about it.
class Linux {
public:
    // Sends one request and returns the text after "ok"; a failure of the test otherwise.
    static std::string Ask(const std::string& request);
    // The work folder's Windows path (Z:\...), and a path inside it.
    static std::string Work(const std::string& relative = {});
};

class Desk {
public:
    // `databases` RAM databases and one added to the flash ROM on the handheld, whose state
    // directory is `state` under the work folder (a fresh one).
    Desk(const std::string& state, int databases = 4);
    ~Desk();

    // The update files (made by the Linux half: good, device, big, damaged) put beside the
    // wizard, under their own names with the extension .upd.
    void PutUpdate(const std::string& name);
    // palmsim on this desk's handheld, with these options; palmsim's previous run ends first.
    void StartHandheld(const std::string& options = {});
    void StopHandheld();
    // A button of the simulated handheld: "reset" (into its OS, the loader when installed),
    // "debugger" (into its ROM's serial mode).
    void Press(const std::string& button);
    // The handheld's flash once palmsim has ended and written it: what an update of `mode` with the
    // update file `file` leaves (flash_expect.py), or `untouched`.
    void ExpectFlash(const std::string& mode, const std::string& file = {});

    // The desktop's folders, where the Linux half reads them too: the folder of the users'
    // folders (its name in the work folder) and the user's own.
    std::string DesktopName() const { return desktopName_; }
    std::string UserFolder() const;
    // Palm::PDB's verdict (the Linux half's) on the user's backups against the handheld's
    // databases as the snapshot `name` holds them: every one there, each equal to its own.
    void Snapshot(const std::string& name);
    void CheckBackups(const std::string& snapshot, bool lagging = false);

    // The wizard from the kit folder, with this command line after its name.
    void StartWizard(const std::string& arguments = {});
    // Waits until the wizard has ended (after a cancel or Finish) and checks it left no box.
    void WaitWizardEnd();

    // What a user would check afterwards (the RAM store once palmsim has written it).
    std::vector<RegistryValue> HotSyncKey() const { return world.HotSyncValues(); }
    std::map<std::string, std::vector<uint8_t>> RamFiles() const;
    bool HotSyncManagerRunning() const;
    void StartHotSyncManagerFirst();
    // The user's HotSync: the button of the HotSync Manager the wizard started (not of one
    // that was running before and that the wizard is closing).
    void PressHotSync();

    // A picture of the window with this caption, as <page>.png in the shots folder of the
    // language; the file names are listed on standard output.
    void Shot(const std::string& caption, const std::string& language, const std::string& name);

    wizard::WizardDriver driver;
    ScratchWorld world;
    std::string kit, palm, state;
    HandheldStore store;

private:
    uint32_t firstHotSync_ = 0;  // the process of the one started before the wizard
    std::string desktopName_;
};

// Ends every HotSync Manager stand-in still running, by force when asking does not do.
void EndHotSyncManagers();

}  // namespace e2e
