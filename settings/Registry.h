// The settings store: values under one key of the current user's registry.
// Each access opens the key (making it when it is not there) and closes it
// again; what is read back is checked before it is believed.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

// Where the player keeps its settings, below HKEY_CURRENT_USER.
inline constexpr char SettingsKey[] = "Software\\Quenby\\Tarvel";
inline constexpr char SettingsSubkey[] = "Settings";

class CRegistry {
public:
    // Makes sure the key exists; false when it cannot be made.
    bool OpenRoot(const char* suffix);

    bool WriteDword(const char* subkey, const char* name, std::int32_t value);
    bool WriteString(const char* subkey, const char* name, const char* text);
    // The stored number, or nothing when it is absent or not a 4-byte number.
    std::optional<std::int32_t> ReadDword(const char* subkey, const char* name);
    // The stored text, or nothing when it is absent, not a text, not
    // terminated or longer than 255 bytes.
    std::optional<std::string> ReadString(const char* subkey, const char* name);

private:
    std::string Root;
};
