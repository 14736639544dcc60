#include "playlist/playlistplace.h"

#include <fcntl.h>
#include <unistd.h>

namespace {

std::string Join(const std::string& folder, const char* name) {
    if (!folder.empty() && folder.back() == '/') {
        return folder + name;
    }
    return folder + "/" + name;
}

}  // namespace

std::string UserDataHome(const char* xdgDataHome, const char* home) {
    // Relative values are not meant to be used; an empty one means unset.
    if (xdgDataHome != nullptr && xdgDataHome[0] == '/') {
        return xdgDataHome;
    }
    if (home != nullptr && home[0] == '/') {
        return Join(home, ".local/share");
    }
    return std::string();
}

bool IsWritableFolder(const std::string& folder) {
    // The effective ids decide, as they do for the save itself.
    return ::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

std::string ChoosePlaylistFolder(const std::string& programFolder, const std::string& dataHome,
                                 const std::function<bool(const std::string&)>& isWritableFolder) {
    if (dataHome.empty() ||
        ::faccessat(AT_FDCWD, Join(programFolder, "Music.mus").c_str(), F_OK, 0) == 0 ||
        isWritableFolder(programFolder)) {
        return programFolder;
    }
    return Join(dataHome, "melvane");
}
