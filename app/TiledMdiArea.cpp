#include "app/TiledMdiArea.h"

#include "base/UiText.h"

#include <QPaintEvent>
#include <QPainter>

namespace quenda {

namespace {

// The tile text: Arial, bold, at the cell height the old system font had.
QFont TileFont() {
    QFont font("Arial");
    font.setBold(true);
    font.setPixelSize(14);  // QFontMetrics::height() 16 with Liberation Sans
    return font;
}

}  // namespace

TiledMdiArea::TiledMdiArea(QWidget* parent) : QMdiArea(parent) {}

void TiledMdiArea::SetBackgroundBitmap(const QImage& bitmap) {
    viewport()->setUpdatesEnabled(false);
    tile_ = bitmap.convertToFormat(QImage::Format_RGB32);
    if (!tile_.isNull()) {
        QPainter painter(&tile_);
        painter.setFont(TileFont());
        painter.setPen(QColor::fromRgb(kTextColour));
        painter.drawText(tile_.rect(), Qt::AlignCenter | Qt::TextSingleLine, QString::fromStdString(UiText("Quenda")));
    }
    viewport()->setUpdatesEnabled(true);
    viewport()->update();
}

void TiledMdiArea::SetBackgroundColour(std::int64_t colour) {
    colour_ = colour;
    viewport()->update();
}

void TiledMdiArea::paintEvent(QPaintEvent* event) {
    if (colour_ == kNoColour && tile_.isNull()) {
        QMdiArea::paintEvent(event);
        return;
    }
    QPainter painter(viewport());
    const QRect client = viewport()->rect();
    if (colour_ != kNoColour) {
        painter.fillRect(client, QColor(colour_ & 0xff, (colour_ >> 8) & 0xff, (colour_ >> 16) & 0xff));
        return;
    }
    // Tiles start at the top-left corner, so resizing never shifts them.
    for (int x = 0; x < client.width(); x += tile_.width()) {
        for (int y = 0; y < client.height(); y += tile_.height()) {
            if (event->rect().intersects(QRect(QPoint(x, y), tile_.size()))) painter.drawImage(x, y, tile_);
        }
    }
}

void TiledMdiArea::resizeEvent(QResizeEvent* event) {
    QMdiArea::resizeEvent(event);
    if (!tile_.isNull()) viewport()->update();
}

}  // namespace quenda
