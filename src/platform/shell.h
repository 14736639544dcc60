// Desktop services the window uses: the open-file dialog and opening a
// document with the user's default program.
#pragma once

#include <string>
#include <vector>

class QWidget;

namespace platform {

class IShell {
public:
    virtual ~IShell() = default;

    // The open-file dialog with multiple selection, owned by `owner`. Returns
    // false when cancelled; otherwise the chosen full paths, as file-name
    // bytes, in the dialog's order.
    virtual bool GetOpenFileNames(QWidget* owner, const std::string& defaultSuffix,
                                  const std::string& filter, std::vector<std::string>& paths) = 0;

    // Opens `path` (relative to the working directory) with the desktop's
    // default handler, without a shell in between. False when nothing opened it.
    virtual bool OpenDocument(const std::string& path) = 0;
};

}  // namespace platform
