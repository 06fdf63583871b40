// The automatic choice of the update file beside the program, for the connected handheld:
// files of other devices dropped, one taken at once, several offered, none sending the user
// to the browse page, and a handheld the kit does not serve refused.
#include "app/FileChoice.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "app/WizardFlow.h"
#include "app/tests/PageWorld.h"

namespace {

namespace fs = std::filesystem;

class ScriptedSelect final : public FileSelectUi {
public:
    Answer Choose(const std::vector<std::string>& names, int& selected) override {
        offered = names;
        selected = pick;
        return answer;
    }
    Answer answer = Answer::Ok;
    int pick = 0;
    std::vector<std::string> offered;
};

class FileChoiceTest : public PageWorld {
protected:
    explicit FileChoiceTest(uint16_t hardwareId = 10) : PageWorld(Loader(hardwareId)) {
        dir = fs::temp_directory_path() /
              ("kestrel-choice-" +
               std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        EXPECT_EQ(link->OpenPort("COM1"), rc::Success);
        EXPECT_EQ(link->StartLoader(), rc::Success);
    }
    ~FileChoiceTest() override { fs::remove_all(dir); }
    static HandheldConfig Loader(uint16_t hardwareId) {
        HandheldConfig config = Config(HandheldMode::Loader);
        config.hardwareId = hardwareId;
        return config;
    }
    // An update file for `device` beside the program.
    void Put(const std::string& name, uint16_t device) {
        std::ofstream(dir / name) << "update";
        devices[name] = device;
    }
    void Choose() {
        FileChoiceWorld choice;
        choice.programDirectory = dir.string() + "/";
        choice.search = MakeFileSearchEdge();
        choice.deviceOf = [this](const std::string& path) -> uint16_t {
            const std::string name = fs::path(path).stem().string();
            for (const auto& [file, device] : devices)
                if (fs::path(file).stem().string() == name) return device;
            return 0;  // cannot be read
        };
        choice.select = &select;
        ChooseUpdateFile(ui, settings, *link, choice);
    }
    std::string Beside(const std::string& name) const { return dir.string() + "/" + name; }

    fs::path dir;
    std::map<std::string, uint16_t> devices;
    ScriptedSelect select;
};

TEST_F(FileChoiceTest, TheOneFileForThisDeviceIsTakenWithoutAQuestion) {
    Put("NEW11.UPD", 11);
    Put("OTHER7.UPD", 7);
    Choose();
    EXPECT_TRUE(select.offered.empty());
    EXPECT_EQ(settings.updateFile, Beside("NEW11.upd"));
    EXPECT_EQ(ui.events, (std::vector<std::string>{"post show " + std::to_string(page::Upload)}));
}

TEST_F(FileChoiceTest, SeveralAreOfferedAndTheAnswerDecides) {
    Put("A.UPD", 11);
    Put("B.UPD", 11);
    Put("C.UPD", 6);
    Put("readme.txt", 11);
    select.pick = 1;
    Choose();
    EXPECT_EQ(select.offered, (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(settings.updateFile, Beside("B.upd"));

    ui = FakePageUi();
    settings.updateFile.clear();
    select.answer = FileSelectUi::Answer::Browse;
    Choose();
    EXPECT_EQ(ui.events, (std::vector<std::string>{"post show " + std::to_string(page::Browse)}));
    EXPECT_TRUE(settings.updateFile.empty());

    ui = FakePageUi();
    select.answer = FileSelectUi::Answer::Cancel;
    Choose();
    EXPECT_EQ(ui.events, (std::vector<std::string>{"post close"}));
    EXPECT_FALSE(cable->IsOpen()) << "the loader was told to leave";
}

TEST_F(FileChoiceTest, NoneLeftLeadsToTheBrowsePageAndTheCommandLineNamesThePattern) {
    Put("OTHER.UPD", 7);
    Put("BROKEN.UPD", 0);
    Choose();
    EXPECT_EQ(ui.events, (std::vector<std::string>{"post show " + std::to_string(page::Browse)}));

    Put("MINE.UPD", 11);
    Put("ALSO.UPD", 11);
    settings.commandLineFile = "mine.upd";
    ui = FakePageUi();
    Choose();
    EXPECT_TRUE(select.offered.empty()) << "only the file the command line named";
    EXPECT_EQ(ui.events, (std::vector<std::string>{"post show " + std::to_string(page::Upload)}));
}

class UnservedHandheld : public FileChoiceTest {
protected:
    UnservedHandheld() : FileChoiceTest(0) {}
};

TEST_F(UnservedHandheld, EndsTheProgramWithoutChoosing) {
    Put("NEW11.UPD", 11);
    Choose();
    ASSERT_EQ(ui.told.size(), 1u);
    EXPECT_EQ(ui.told[0], std::string(kIncompatibleDeviceCaption) + ": " + kIncompatibleDeviceText);
    EXPECT_EQ(ui.events, (std::vector<std::string>{"close main"}));
    EXPECT_TRUE(settings.updateFile.empty());
}

}  // namespace
