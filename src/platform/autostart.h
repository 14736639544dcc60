// The start-at-login entry, kept the way the program keeps a registry value:
// open the key, set or delete a named value, close the key.
#pragma once

#include <string>

namespace platform {

class IAutoStart {
public:
    virtual ~IAutoStart() = default;

    // Opens the place where start-at-login entries live for writing. False when
    // it cannot be created or written. Must be paired with CloseKey on success.
    virtual bool OpenKey() = 0;

    // Writes the entry `name` so that the executable at `path` starts at login.
    // False when the entry cannot be written.
    virtual bool SetValue(const std::string& name, const std::string& path) = 0;

    // Removes the entry `name`. False when there is no such entry or it cannot be
    // removed.
    virtual bool DeleteValue(const std::string& name) = 0;

    virtual void CloseKey() = 0;
};

}  // namespace platform
