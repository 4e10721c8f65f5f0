// The INI key store that stands in for the registry (KeyStore.h).
#include "KeyStore.h"
#include "Utils.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

using namespace ferrolyt;
namespace fs = std::filesystem;

namespace {

class KeyStoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("ferrolyt-keystore-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        file = dir / "Ferrolyt" / "registry.ini";
        SetKeyStoreFile(file);
    }
    void TearDown() override
    {
        SetKeyStoreFile({});
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    void Write(const std::string& text)
    {
        fs::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << text;
    }
    std::string Read()
    {
        std::ifstream in(file, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    fs::path dir, file;
};

const std::string FerrolytKey = "SOFTWARE\\Quillbrook\\Ferrolyt\\2.00";

} // namespace

TEST_F(KeyStoreTest, MissingFileIsAMissingKey)
{
    std::string dest = "junk";
    EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, FerrolytKey, "Folder", dest), ErrorFileNotFound);
    EXPECT_EQ(dest, "");
}

TEST_F(KeyStoreTest, ReadsAValue)
{
    Write("; Ferrolyt key store\n"
          "[HKLM\\SOFTWARE\\Quillbrook\\Ferrolyt\\2.00]\n"
          "Folder=Ferrolyt\n"
          "\n"
          "[HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders]\r\n"
          "Programs = /home/u/.local/share/applications/ \r\n");
    std::string dest;
    EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, FerrolytKey, "Folder", dest), ErrorSuccess);
    EXPECT_EQ(dest, "Ferrolyt");
    EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER,
                                 "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", "Programs",
                                 dest),
              ErrorSuccess);
    EXPECT_EQ(dest, "/home/u/.local/share/applications/");
}

TEST_F(KeyStoreTest, MissingKeyAndMissingValue)
{
    Write("[HKLM\\SOFTWARE\\Quillbrook\\Ferrolyt\\2.00]\nFolder=Ferrolyt\n");
    std::string dest = "junk";
    // Another key, or the same path under another root: the key is missing.
    EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Other", "Folder", dest), ErrorFileNotFound);
    EXPECT_EQ(dest, "");
    dest = "junk";
    EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, FerrolytKey, "Folder", dest), ErrorFileNotFound);
    EXPECT_EQ(dest, "");
    // The key opens but has no such value: status of the key's opening (0),
    // Dest empty.
    dest = "junk";
    EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, FerrolytKey, "Missing", dest), ErrorSuccess);
    EXPECT_EQ(dest, "");
}

TEST_F(KeyStoreTest, KeysAndNamesMatchCaseInsensitively)
{
    Write("[hklm\\software\\quillbrook\\ferrolyt\\2.00]\nFOLDER=Ферролiт\n[HKCU\\Ключ]\nІм'я=значення\n");
    std::string dest;
    EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, "\\" + FerrolytKey + "\\", "folder", dest), ErrorSuccess);
    EXPECT_EQ(dest, "Ферролiт");
    EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, "КЛЮЧ", "ім'я", dest), ErrorSuccess);
    EXPECT_EQ(dest, "значення");
}

TEST_F(KeyStoreTest, ValueIsCutTo255Characters)
{
    std::string longValue;
    for (int k = 0; k < 300; ++k)
        longValue += "ж";
    Write("[HKLM\\K]\nLong=" + longValue + "\n");
    std::string dest;
    EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, "K", "Long", dest), ErrorSuccess);
    EXPECT_EQ(Utf8Length(dest), 255u);
    EXPECT_EQ(dest.size(), 510u);
}

TEST_F(KeyStoreTest, WriteCreatesTheFileAndKeepsOtherLines)
{
    ASSERT_FALSE(fs::exists(file));
    EXPECT_EQ(WriteRegistryString(HKEY_LOCAL_MACHINE, FerrolytKey, "Folder", "Ferrolyt"), ErrorSuccess);
    EXPECT_EQ(Read(), "[HKLM\\SOFTWARE\\Quillbrook\\Ferrolyt\\2.00]\nFolder=Ferrolyt\n");
    std::string dest;
    EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, FerrolytKey, "Folder", dest), ErrorSuccess);
    EXPECT_EQ(dest, "Ferrolyt");

    // Update in place, add a value to the key, add a second key.
    Write("# comment\n[HKLM\\SOFTWARE\\Quillbrook\\Ferrolyt\\2.00]\nFolder=Old\nOther=1\n\n[HKCU\\X]\nA=b\n");
    EXPECT_EQ(WriteRegistryString(HKEY_LOCAL_MACHINE, FerrolytKey, "folder", "New"), ErrorSuccess);
    EXPECT_EQ(WriteRegistryString(HKEY_LOCAL_MACHINE, FerrolytKey, "Added", "Значення"), ErrorSuccess);
    EXPECT_EQ(WriteRegistryString(HKEY_USERS, "Y", "Z", ""), ErrorSuccess);
    EXPECT_EQ(Read(), "# comment\n[HKLM\\SOFTWARE\\Quillbrook\\Ferrolyt\\2.00]\nfolder=New\nOther=1\nAdded=Значення\n\n"
                      "[HKCU\\X]\nA=b\n\n[HKU\\Y]\nZ=\n");
    EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, FerrolytKey, "Folder", dest), ErrorSuccess);
    EXPECT_EQ(dest, "New");
    EXPECT_EQ(ReadRegistryString(HKEY_USERS, "Y", "Z", dest), ErrorSuccess);
    EXPECT_EQ(dest, "");
}

TEST_F(KeyStoreTest, WriteRefusesWhatTheIniFormCannotHold)
{
    EXPECT_EQ(WriteRegistryString(HKEY_LOCAL_MACHINE, "K", "A=B", "v"), ErrorInvalidParameter);
    EXPECT_EQ(WriteRegistryString(HKEY_LOCAL_MACHINE, "K", "", "v"), ErrorInvalidParameter);
    EXPECT_EQ(WriteRegistryString(HKEY_LOCAL_MACHINE, "K", "A", "line\nbreak"), ErrorInvalidParameter);
    EXPECT_EQ(WriteRegistryString(HKEY_LOCAL_MACHINE, "K]", "A", "v"), ErrorInvalidParameter);
    EXPECT_FALSE(fs::exists(file));
}

TEST_F(KeyStoreTest, DeleteValue)
{
    Write("[HKLM\\K]\nA=1\nB=2\n");
    EXPECT_EQ(DeleteRegistryValue(HKEY_LOCAL_MACHINE, "K", "a"), ErrorSuccess);
    EXPECT_EQ(Read(), "[HKLM\\K]\nB=2\n");
    EXPECT_EQ(DeleteRegistryValue(HKEY_LOCAL_MACHINE, "K", "A"), ErrorFileNotFound);
    EXPECT_EQ(DeleteRegistryValue(HKEY_LOCAL_MACHINE, "None", "B"), ErrorFileNotFound);
}

TEST_F(KeyStoreTest, StoreThatIsAFolderCannotBeRead)
{
    fs::create_directories(file); // a folder where the file should be
    std::string dest = "junk";
    EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, "K", "A", dest), ErrorAccessDenied);
    EXPECT_EQ(dest, "");
    std::string error;
    EXPECT_EQ(WriteRegistryString(HKEY_LOCAL_MACHINE, "K", "A", "v", &error), ErrorAccessDenied);
    EXPECT_FALSE(error.empty());
}

TEST(KeyStoreLocation, FollowsXdgConfigHomeThenHome)
{
    SetKeyStoreFile({});
    const char* oldXdg = std::getenv("XDG_CONFIG_HOME");
    const char* oldHome = std::getenv("HOME");
    const std::string savedXdg = oldXdg ? oldXdg : "";
    const std::string savedHome = oldHome ? oldHome : "";

    ::setenv("XDG_CONFIG_HOME", "/tmp/xdg-test", 1);
    ::setenv("HOME", "/home/tester", 1);
    EXPECT_EQ(KeyStoreFile(), fs::path("/tmp/xdg-test/Ferrolyt/registry.ini"));
    ::setenv("XDG_CONFIG_HOME", "relative/not/used", 1);
    EXPECT_EQ(KeyStoreFile(), fs::path("/home/tester/.config/Ferrolyt/registry.ini"));
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(KeyStoreFile(), fs::path("/home/tester/.config/Ferrolyt/registry.ini"));
    SetKeyStoreFile("/elsewhere/r.ini");
    EXPECT_EQ(KeyStoreFile(), fs::path("/elsewhere/r.ini"));
    SetKeyStoreFile({});

    if (oldXdg)
        ::setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1);
    else
        ::unsetenv("XDG_CONFIG_HOME");
    if (oldHome)
        ::setenv("HOME", savedHome.c_str(), 1);
    else
        ::unsetenv("HOME");
}

TEST(KeyStoreLocation, SectionNames)
{
    EXPECT_EQ(RegistrySectionName(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quillbrook\\Ferrolyt\\2.00"),
              "HKLM\\SOFTWARE\\Quillbrook\\Ferrolyt\\2.00");
    EXPECT_EQ(RegistrySectionName(HKEY_CURRENT_USER, "\\A\\\\B\\"), "HKCU\\A\\B");
    EXPECT_EQ(RegistrySectionName(HKEY_CLASSES_ROOT, ""), "HKCR");
}
