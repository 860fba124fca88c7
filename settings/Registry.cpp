#include "Registry.h"

#include <cstring>

#include "platform/Win32Handles.h"
#include "settings/SettingsChecks.h"

namespace {

void CloseKey(HKEY key)
{
    RegCloseKey(key);
}
using KeyHandle = UniqueHandle<HKEY, CloseKey>;

KeyHandle OpenKey(const std::string& path)
{
    // An empty path is a root that could not be opened: nothing is read or
    // written then.
    HKEY key = nullptr;
    if (path.empty() || RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                        KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return KeyHandle();
    return KeyHandle(key);
}

KeyHandle OpenSubkey(const std::string& root, const char* subkey)
{
    return OpenKey(root.empty() ? root : root + "\\" + subkey);
}

}  // namespace

bool CRegistry::OpenRoot(const char* suffix)
{
    Root = std::string("Software\\") + suffix;
    if (!OpenKey(Root)) {
        Root.clear();
        return false;
    }
    return true;
}

bool CRegistry::WriteDword(const char* subkey, const char* name, std::int32_t value)
{
    KeyHandle key = OpenSubkey(Root, subkey);
    const auto bits = static_cast<DWORD>(value);
    return key && RegSetValueExA(key.Get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&bits), sizeof bits) ==
                      ERROR_SUCCESS;
}

bool CRegistry::WriteString(const char* subkey, const char* name, const char* text)
{
    KeyHandle key = OpenSubkey(Root, subkey);
    return key && RegSetValueExA(key.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                                 static_cast<DWORD>(std::strlen(text) + 1)) == ERROR_SUCCESS;
}

std::optional<std::int32_t> CRegistry::ReadDword(const char* subkey, const char* name)
{
    KeyHandle key = OpenSubkey(Root, subkey);
    DWORD type = 0;
    BYTE data[8] = {};
    DWORD size = sizeof data;
    if (!key || RegQueryValueExA(key.Get(), name, nullptr, &type, data, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return StoredDword(type, data, size);
}

std::optional<std::string> CRegistry::ReadString(const char* subkey, const char* name)
{
    KeyHandle key = OpenSubkey(Root, subkey);
    DWORD type = 0;
    char data[StoredTextBytes + 1] = {};
    DWORD size = sizeof data;
    if (!key || RegQueryValueExA(key.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) !=
                    ERROR_SUCCESS)
        return std::nullopt;
    return StoredString(type, data, size);
}
