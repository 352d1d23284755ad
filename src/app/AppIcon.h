#pragma once
// The program's artwork, compiled into the program as Qt resources.

#include <QIcon>
#include <QPixmap>

namespace vellumet {

// The application icon, in every size the resources hold.
QIcon AppIcon();

// The banner across the top of the main dialog: 330 x 95 pixels.
QPixmap BannerPicture();

}  // namespace vellumet
