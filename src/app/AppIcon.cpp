#include "app/AppIcon.h"

// The resources live in a static library: register them before the first use.
static void InitArtwork() {
    Q_INIT_RESOURCE(vellumet);
}

namespace vellumet {

namespace {

void EnsureArtwork() {
    static const bool registered = (InitArtwork(), true);
    (void)registered;
}

}  // namespace

QIcon AppIcon() {
    EnsureArtwork();
    QIcon icon;
    for (int size : {16, 32, 48, 256}) {
        icon.addFile(QStringLiteral(":/vellumet/icons/vellumet-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

QPixmap BannerPicture() {
    EnsureArtwork();
    return QPixmap(QStringLiteral(":/vellumet/banner.png"));
}

}  // namespace vellumet
