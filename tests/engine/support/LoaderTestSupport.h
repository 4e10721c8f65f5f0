#pragma once
// Shared set-up of the data-file tests: the fixture folder, a scratch folder
// that is removed afterwards, and a guard that restores the current folder
// and the program folder (the project loader changes both).

#include "DataFiles.h"
#include "Materials.h"
#include "Model.h"
#include "ProgramDir.h"
#include "Project.h"
#include "Settings.h"
#include "TaskList.h"
#include "TextFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace ferrolyt::test {

inline std::filesystem::path LoaderFixture(const std::string& name)
{
    return std::filesystem::path(FERROLYT_FIXTURES) / "loaders" / name;
}

// A fresh folder under the system's temporary folder, removed with the object.
class ScratchFolder {
public:
    ScratchFolder()
    {
        std::random_device rd;
        path_ = std::filesystem::temp_directory_path() / ("ferrolyt-loaders-" + std::to_string(rd()) + std::to_string(rd()));
        std::filesystem::create_directories(path_);
    }
    ~ScratchFolder()
    {
        std::error_code ec;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(path_, ec);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

    // Copies fixtures into the folder.
    void CopyFixtures(std::initializer_list<const char*> names) const
    {
        for (const char* n : names)
            std::filesystem::copy_file(LoaderFixture(n), path_ / n, std::filesystem::copy_options::overwrite_existing);
    }

private:
    std::filesystem::path path_;
};

// Restores the current folder, the program folder and the project state
// when a test ends, and starts from a fresh model. (Every test starts from
// the default options anyway.)
class LoaderTestBase : public ::testing::Test {
protected:
    void SetUp() override
    {
        savedCwd_ = std::filesystem::current_path();
        savedProgramDir_ = ProgramDir();
        ResetModel();
        ClearProjectState();
        for (TTaskList* list : {&TaskList, &TaskListEdit}) {
            list->Clear();
            list->Items[0] = TTaskRecord{};
        }
    }
    void TearDown() override
    {
        std::filesystem::current_path(savedCwd_);
        SetProgramDir(savedProgramDir_);
        ClearProjectState();
    }

    // Loads the fixture database (constants, interaction, slag, gas).
    static void LoadFixtureDatabase()
    {
        ASSERT_TRUE(LoadConstants(LoaderFixture("Test.CON").string()));
        ASSERT_TRUE(LoadInteractionParams(LoaderFixture("Test.EPS").string()));
        ASSERT_TRUE(LoadSlagData(LoaderFixture("Test.SLG").string()));
        ASSERT_TRUE(LoadGases(LoaderFixture("Test.GAS").string()));
    }

private:
    std::filesystem::path savedCwd_;
    std::string savedProgramDir_;
};

} // namespace ferrolyt::test
