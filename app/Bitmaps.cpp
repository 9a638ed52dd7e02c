#include "app/Bitmaps.h"

#include "app/Resources.h"

namespace quenda {

QImage LoadImage(const Resources& resources, const QString& name) {
    // A copy that owns its pixels, so the library can be unloaded while the
    // image is still in use.
    QImage image = QImage::fromData(resources.Data(name));
    image.detach();
    return image;
}

QImage LoadBitmap(const Resources& resources, int id) { return LoadImage(resources, Resources::BitmapName(id)); }

}  // namespace quenda
