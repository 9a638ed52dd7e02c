#pragma once

#include <QImage>
#include <QMdiArea>

#include <cstdint>

namespace quenda {

// The main window's client area behind the child windows. It paints a
// background bitmap tiled from the top-left corner with "Quenda" written across
// the middle of every tile, or a plain colour when one is set.
class TiledMdiArea : public QMdiArea {
    Q_OBJECT
public:
    // RGB(196,196,196): light grey, legible on the dark tile.
    static constexpr QRgb kTextColour = 0xffc4c4c4;
    static constexpr std::int64_t kNoColour = -1;

    explicit TiledMdiArea(QWidget* parent = nullptr);

    // Replaces the bitmap (a null image removes it) without flicker.
    void SetBackgroundBitmap(const QImage& bitmap);
    // 0x00BBGGRR as the colour triples are written, or kNoColour.
    void SetBackgroundColour(std::int64_t colour);
    static std::int64_t Rgb(int r, int g, int b) { return r | (g << 8) | (b << 16); }

    // The bitmap with the text drawn in: one tile.
    const QImage& Tile() const { return tile_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QImage tile_;
    std::int64_t colour_ = kNoColour;
};

}  // namespace quenda
