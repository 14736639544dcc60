// A review sheet of the whole skin: the main window with its plain pictures,
// again with its lit ones, and every icon enlarged on light and dark panels.
#pragma once

#include <QImage>

namespace makeskin {

QImage RenderPreview();

}  // namespace makeskin
