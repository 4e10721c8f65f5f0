// Feeds any bytes to the key store as its INI file, read at every start for
// the program's folder: reading never throws and stays within the value
// limit, and a value written into any such file reads back as written while
// the file's other keys keep their values.
#include "FuzzSupport.h"
#include "KeyStore.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

using namespace ferrolyt;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const fuzz::ProcessFolder dir("keystore");
    static const std::filesystem::path file = [] {
        SetKeyStoreFile(dir.path() / "registry.ini");
        return dir.path() / "registry.ini";
    }();
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    const std::string key = "SOFTWARE\\Quillbrook\\Ferrolyt\\2.00";
    std::string folder, other;
    (void)ReadRegistryString(HKEY_LOCAL_MACHINE, key, "Folder", folder);
    const int otherStatus = ReadRegistryString(HKEY_CURRENT_USER, "Software\\Other", "Value", other);
    if (folder.size() > 255 * 4)
        std::abort();
    if (WriteRegistryString(HKEY_LOCAL_MACHINE, key, "Folder", "Ферролит 2") != ErrorSuccess)
        return 0;
    std::string back, otherBack;
    if (ReadRegistryString(HKEY_LOCAL_MACHINE, key, "Folder", back) != ErrorSuccess || back != "Ферролит 2")
        std::abort();
    if (ReadRegistryString(HKEY_CURRENT_USER, "Software\\Other", "Value", otherBack) != otherStatus ||
        otherBack != other)
        std::abort();
    return 0;
}
