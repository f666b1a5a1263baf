#pragma once
// The picture of the help window: how to read the firmware version off the DEXIO.

#include <QImage>

namespace startup {

// 444 x 405 pixels, 24-bit colour, black on white with the version marked in blue.
QImage HelpPicture();

}  // namespace startup
