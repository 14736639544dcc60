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

// The dialog's filter from "Description|*.a;*.b|" pairs: "Description (*.a *.b)";
// a description that already ends in its patterns, "Text(*.a *.b)", stays as is.
QString ToQtFilter(const std::string& filter);

}  // namespace platform
