// The INI key store that stands in for the registry (KeyStore.h).
#include "KeyStore.h"
#include "LoaderTestSupport.h"
#include "Utils.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <utility>

using namespace ferrolyt;
namespace fs = std::filesystem;

namespace {

using Lookup = std::pair<int, std::string>; // status and Dest of one read

class KeyStoreTest : public ::testing::Test {
protected:
    void SetUp() override { SetKeyStoreFile(file); }
    void TearDown() override { SetKeyStoreFile({}); }
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
    // Dest starts as junk so that a failed read shows it is emptied.
    static Lookup Get(RegistryRoot root, const std::string& key, const std::string& name)
    {
        std::string dest = "junk";
        const int status = ReadRegistryString(root, key, name, dest);
        return {status, dest};
    }
    test::ScratchFolder dir;
    fs::path file = dir / "Ferrolyt/registry.ini";
};

const std::string FerrolytKey = "SOFTWARE\\Quillbrook\\Ferrolyt\\2.00";
const Lookup Missing{ErrorFileNotFound, ""};

Lookup Found(const std::string& value) { return {ErrorSuccess, value}; }

} // namespace

TEST_F(KeyStoreTest, ReadsAValue)
{
    Write("; Ferrolyt key store\n"
          "[HKLM\\SOFTWARE\\Quillbrook\\Ferrolyt\\2.00]\n"
          "Folder=Ferrolyt\n"
          "\n"
          "[HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders]\r\n"
          "Programs = /home/u/.local/share/applications/ \r\n");
    EXPECT_EQ(Get(HKEY_LOCAL_MACHINE, FerrolytKey, "Folder"), Found("Ferrolyt"));
    EXPECT_EQ(Get(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                  "Programs"),
              Found("/home/u/.local/share/applications/"));
}

TEST_F(KeyStoreTest, MissingFileKeyOrValue)
{
    EXPECT_EQ(Get(HKEY_LOCAL_MACHINE, FerrolytKey, "Folder"), Missing); // no file yet
    Write("[HKLM\\SOFTWARE\\Quillbrook\\Ferrolyt\\2.00]\nFolder=Ferrolyt\n");
    // Another key, or the same path under another root: the key is missing.
    EXPECT_EQ(Get(HKEY_LOCAL_MACHINE, "SOFTWARE\\Other", "Folder"), Missing);
    EXPECT_EQ(Get(HKEY_CURRENT_USER, FerrolytKey, "Folder"), Missing);
    // The key opens but has no such value: status of the key's opening (0),
    // Dest empty.
    EXPECT_EQ(Get(HKEY_LOCAL_MACHINE, FerrolytKey, "Missing"), Found(""));
}

TEST_F(KeyStoreTest, KeysAndNamesMatchCaseInsensitively)
{
    Write("[hklm\\software\\quillbrook\\ferrolyt\\2.00]\nFOLDER=Ферролiт\n[HKCU\\Ключ]\nІм'я=значення\n");
    EXPECT_EQ(Get(HKEY_LOCAL_MACHINE, "\\" + FerrolytKey + "\\", "folder"), Found("Ферролiт"));
    EXPECT_EQ(Get(HKEY_CURRENT_USER, "КЛЮЧ", "ім'я"), Found("значення"));
}

TEST_F(KeyStoreTest, ValueIsCutTo255Characters)
{
    std::string longValue;
    for (int k = 0; k < 300; ++k)
        longValue += "ж";
    Write("[HKLM\\K]\nLong=" + longValue + "\n");
    const auto [status, dest] = Get(HKEY_LOCAL_MACHINE, "K", "Long");
    EXPECT_EQ(status, ErrorSuccess);
    EXPECT_EQ(Utf8Length(dest), 255u);
    EXPECT_EQ(dest.size(), 510u);
}

TEST_F(KeyStoreTest, WriteCreatesTheFileAndKeepsOtherLines)
{
    ASSERT_FALSE(fs::exists(file));
    EXPECT_EQ(WriteRegistryString(HKEY_LOCAL_MACHINE, FerrolytKey, "Folder", "Ferrolyt"), ErrorSuccess);
    EXPECT_EQ(Read(), "[HKLM\\SOFTWARE\\Quillbrook\\Ferrolyt\\2.00]\nFolder=Ferrolyt\n");
    EXPECT_EQ(Get(HKEY_LOCAL_MACHINE, FerrolytKey, "Folder"), Found("Ferrolyt"));

    // Update in place, add a value to the key, add a second key.
    Write("# comment\n[HKLM\\SOFTWARE\\Quillbrook\\Ferrolyt\\2.00]\nFolder=Old\nOther=1\n\n[HKCU\\X]\nA=b\n");
    EXPECT_EQ(WriteRegistryString(HKEY_LOCAL_MACHINE, FerrolytKey, "folder", "New"), ErrorSuccess);
    EXPECT_EQ(WriteRegistryString(HKEY_LOCAL_MACHINE, FerrolytKey, "Added", "Значення"), ErrorSuccess);
    EXPECT_EQ(WriteRegistryString(HKEY_USERS, "Y", "Z", ""), ErrorSuccess);
    EXPECT_EQ(Read(), "# comment\n[HKLM\\SOFTWARE\\Quillbrook\\Ferrolyt\\2.00]\nfolder=New\nOther=1\nAdded=Значення\n\n"
                      "[HKCU\\X]\nA=b\n\n[HKU\\Y]\nZ=\n");
    EXPECT_EQ(Get(HKEY_LOCAL_MACHINE, FerrolytKey, "Folder"), Found("New"));
    EXPECT_EQ(Get(HKEY_USERS, "Y", "Z"), Found(""));
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
    EXPECT_EQ(Get(HKEY_LOCAL_MACHINE, "K", "A"), Lookup(ErrorAccessDenied, ""));
    std::string error;
    EXPECT_EQ(WriteRegistryString(HKEY_LOCAL_MACHINE, "K", "A", "v", &error), ErrorAccessDenied);
    EXPECT_FALSE(error.empty());
}

TEST_F(KeyStoreTest, StoreThatIsAPipeOrADeviceIsNotRead)
{
    // Read at every start: a pipe would hang it, /dev/zero fill the memory.
    fs::create_directories(file.parent_path());
    ASSERT_EQ(::mkfifo(file.c_str(), 0644), 0);
    EXPECT_EQ(Get(HKEY_LOCAL_MACHINE, "K", "A"), Lookup(ErrorAccessDenied, ""));
    fs::remove(file);
    fs::create_symlink("/dev/zero", file);
    EXPECT_EQ(Get(HKEY_LOCAL_MACHINE, "K", "A"), Lookup(ErrorAccessDenied, ""));
}

TEST(KeyStoreLocation, FollowsXdgConfigHomeThenHome)
{
    SetKeyStoreFile({});
    std::pair<const char*, std::optional<std::string>> saved[] = {{"XDG_CONFIG_HOME", {}}, {"HOME", {}}};
    for (auto& [name, value] : saved)
        if (const char* v = std::getenv(name))
            value = v;

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

    for (const auto& [name, value] : saved)
        value ? ::setenv(name, value->c_str(), 1) : ::unsetenv(name);
}

TEST(KeyStoreLocation, SectionNames)
{
    EXPECT_EQ(RegistrySectionName(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quillbrook\\Ferrolyt\\2.00"),
              "HKLM\\SOFTWARE\\Quillbrook\\Ferrolyt\\2.00");
    EXPECT_EQ(RegistrySectionName(HKEY_CURRENT_USER, "\\A\\\\B\\"), "HKCU\\A\\B");
    EXPECT_EQ(RegistrySectionName(HKEY_CLASSES_ROOT, ""), "HKCR");
}
