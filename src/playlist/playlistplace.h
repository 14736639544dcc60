// Where "Music.mus" lives: beside the program when that folder can keep it,
// otherwise in the user's own data folder.
#pragma once

#include <functional>
#include <string>

// The user's data folder: $XDG_DATA_HOME when it is an absolute path,
// otherwise $HOME/.local/share; empty when neither is known. Either argument
// may be null (unset).
std::string UserDataHome(const char* xdgDataHome, const char* home);

// True when the current user may create and replace files in `folder`. As
// root this is true for any folder on a writable file system, as it is.
bool IsWritableFolder(const std::string& folder);

// The folder whose "Music.mus" the player reads and saves: `programFolder`
// when a Music.mus is already there or the folder is writable (a portable
// copy, a per-user install); otherwise "melvane" under `dataHome`, which the
// first save creates. With no data home known, the program's folder.
std::string ChoosePlaylistFolder(
    const std::string& programFolder, const std::string& dataHome,
    const std::function<bool(const std::string&)>& isWritableFolder = IsWritableFolder);
