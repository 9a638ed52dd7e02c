#pragma once

#include <QImage>
#include <QString>

namespace quenda {

class Resources;

// A bitmap resource by number ("bitmapNNN.png"); null when there is none.
QImage LoadBitmap(const Resources& resources, int id);
// Any image resource by file name.
QImage LoadImage(const Resources& resources, const QString& name);

}  // namespace quenda
