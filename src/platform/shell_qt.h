#pragma once

#include <QString>

#include "platform/shell.h"

namespace platform {

// The toolkit's own open-file dialog and QDesktopServices.
class QtShell : public IShell {
public:
    bool GetOpenFileNames(QWidget* owner, const std::string& defaultSuffix,
                          const std::string& filter, std::vector<std::string>& paths) override;
    bool OpenDocument(const std::string& path) override;
};

// "Text(*.a *.b)|*.a;*.b|" -> "Text(*.a *.b) (*.a *.b)", one filter per pair.
QString ToQtFilter(const std::string& filter);

}  // namespace platform
