// Draws the program's bitmaps at build time, so the repository keeps no
// binary artwork:
//   quenda_draw_bitmaps OUTDIR           the built-in set
//   quenda_draw_bitmaps --test OUTDIR    plain, easily recognised replacements
//                                        for the resource library test
// Writes bitmap131.png (background tile), bitmap142.png (splash),
// bitmap215.png (about box), toolbar128.png (button strip) and icon128.png.

#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <cstdio>
#include <functional>

namespace {

constexpr int kButton = 17;  // toolbar button pictures are 17 x 17

QFont Arial(int pixelSize, bool bold = false, bool italic = false) {
    QFont font("Arial");
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    font.setItalic(italic);
    return font;
}

// A pulse-oximeter trace: a flat run, a sharp systolic rise, a dicrotic notch.
QPainterPath PulseTrace(QRectF area, int beats) {
    QPainterPath path;
    const double beat = area.width() / beats;
    const double base = area.bottom();
    const double h = area.height();
    path.moveTo(area.left(), base);
    for (int b = 0; b < beats; ++b) {
        const double x = area.left() + b * beat;
        path.lineTo(x + beat * 0.25, base);
        path.cubicTo(x + beat * 0.32, base, x + beat * 0.34, base - h, x + beat * 0.40, base - h);
        path.cubicTo(x + beat * 0.46, base - h, x + beat * 0.50, base - h * 0.45, x + beat * 0.55, base - h * 0.5);
        path.cubicTo(x + beat * 0.60, base - h * 0.55, x + beat * 0.66, base - h * 0.4, x + beat * 0.75,
                     base - h * 0.1);
        path.lineTo(x + beat, base);
    }
    return path;
}

QImage NewImage(int w, int h, QColor fill) {
    QImage image(w, h, QImage::Format_ARGB32);
    image.fill(fill);
    return image;
}

// The client background tile. The program writes "Quenda" across its middle
// in light grey, so the tile stays dark and quiet. The trace meets itself at
// the left and right edges, so the tiles join without a seam.
QImage BackgroundTile() {
    QImage image = NewImage(160, 112, QColor(58, 78, 104));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(70, 94, 124), 2));
    p.drawPath(PulseTrace(QRectF(0, 78, 160, 22), 2));
    p.setPen(QPen(QColor(66, 88, 116), 1));
    p.drawLine(0, 0, 159, 0);
    return image;
}

QImage Splash() {
    QImage image = NewImage(450, 257, Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, 257);
    sky.setColorAt(0, QColor(30, 60, 110));
    sky.setColorAt(1, QColor(80, 130, 180));
    p.fillRect(image.rect(), sky);
    p.setPen(QPen(QColor(120, 220, 160), 3));
    p.drawPath(PulseTrace(QRectF(20, 150, 410, 60), 5));
    p.setPen(QColor(255, 255, 255));
    p.setFont(Arial(56, true, true));
    p.drawText(QRect(0, 24, 450, 70), Qt::AlignCenter, "Quenda");
    p.setFont(Arial(16));
    p.drawText(QRect(0, 96, 450, 24), Qt::AlignCenter, "SpO2 and pulse rate recordings");
    p.setFont(Arial(13));
    p.drawText(QRect(0, 226, 440, 24), Qt::AlignRight | Qt::AlignVCenter, "Ver 3.2.4");
    p.setPen(QPen(QColor(255, 255, 255, 120), 1));
    p.drawRect(image.rect().adjusted(0, 0, -1, -1));
    return image;
}

// A heart with a trace through it, for the about box and the window icon.
void DrawEmblem(QPainter& p, QRectF box) {
    p.setRenderHint(QPainter::Antialiasing);
    const double s = box.width();
    QPainterPath heart;
    const QPointF c = box.center();
    heart.moveTo(c.x(), box.top() + s * 0.30);
    heart.cubicTo(c.x() - s * 0.05, box.top() + s * 0.10, box.left() + s * 0.02, box.top() + s * 0.12,
                  box.left() + s * 0.05, box.top() + s * 0.38);
    heart.cubicTo(box.left() + s * 0.08, box.top() + s * 0.60, c.x() - s * 0.15, box.top() + s * 0.75, c.x(),
                  box.bottom() - s * 0.08);
    heart.cubicTo(c.x() + s * 0.15, box.top() + s * 0.75, box.right() - s * 0.08, box.top() + s * 0.60,
                  box.right() - s * 0.05, box.top() + s * 0.38);
    heart.cubicTo(box.right() - s * 0.02, box.top() + s * 0.12, c.x() + s * 0.05, box.top() + s * 0.10, c.x(),
                  box.top() + s * 0.30);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(200, 40, 50));
    p.drawPath(heart);
    p.setPen(QPen(Qt::white, std::max(1.0, s / 24)));
    p.setBrush(Qt::NoBrush);
    p.drawPath(PulseTrace(QRectF(box.left() + s * 0.12, box.top() + s * 0.30, s * 0.76, s * 0.22), 1));
}

QImage AboutPicture() {
    QImage image = NewImage(64, 64, QColor(0, 0, 0, 0));
    QPainter p(&image);
    DrawEmblem(p, QRectF(2, 2, 60, 60));
    return image;
}

QImage Icon() {
    QImage image = NewImage(48, 48, QColor(0, 0, 0, 0));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(58, 78, 104));
    p.drawRoundedRect(QRectF(1, 1, 46, 46), 8, 8);
    DrawEmblem(p, QRectF(6, 6, 36, 36));
    return image;
}

// Button pictures, drawn on a 17 x 17 cell; transparent where nothing is.
using Button = std::function<void(QPainter&)>;

void Capture(QPainter& p) {  // the recorder with an arrow down into the computer
    p.setPen(QColor(40, 40, 40));
    p.setBrush(QColor(235, 235, 235));
    p.drawRoundedRect(QRectF(2.5, 1.5, 8, 11), 1.5, 1.5);
    p.fillRect(QRectF(4, 3, 5, 3), QColor(40, 120, 60));
    p.setPen(QPen(QColor(30, 80, 170), 2));
    p.drawLine(QPointF(13.5, 3), QPointF(13.5, 13));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 80, 170));
    p.drawPolygon(QPolygonF({QPointF(10.5, 11), QPointF(16.5, 11), QPointF(13.5, 15.5)}));
}

void Open(QPainter& p) {  // a folder
    p.setPen(QColor(120, 90, 20));
    p.setBrush(QColor(230, 190, 80));
    p.drawPolygon(QPolygonF({QPointF(1.5, 4.5), QPointF(6.5, 4.5), QPointF(8, 6), QPointF(14.5, 6), QPointF(14.5, 14.5),
                             QPointF(1.5, 14.5)}));
    p.setBrush(QColor(250, 215, 110));
    p.drawPolygon(QPolygonF({QPointF(1.5, 14.5), QPointF(4, 8.5), QPointF(16.5, 8.5), QPointF(14.5, 14.5)}));
}

void Bluetooth(QPainter& p) {  // the rune on a blue oval
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(20, 90, 200));
    p.drawRoundedRect(QRectF(3, 0.5, 11, 16), 5, 5);
    p.setPen(QPen(Qt::white, 1.3));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF(
        {QPointF(5.5, 5), QPointF(11, 10.5), QPointF(8.5, 13.5), QPointF(8.5, 3), QPointF(11, 6), QPointF(5.5, 11.5)}));
}

void Print(QPainter& p) {  // a printer with a sheet
    p.setPen(QColor(60, 60, 60));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(4.5, 1.5, 8, 6));
    p.setBrush(QColor(170, 170, 170));
    p.drawRect(QRectF(1.5, 7.5, 14, 6));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(4.5, 11.5, 8, 4));
    p.fillRect(QRectF(12, 9, 2, 1.5), QColor(40, 160, 60));
}

void PageArrow(QPainter& p, bool up) {  // a page with an arrow
    p.setPen(QColor(80, 80, 80));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(2.5, 1.5, 9, 14));
    p.setPen(QColor(170, 170, 170));
    for (double y = 4.5; y < 14; y += 2.5) p.drawLine(QPointF(4, y), QPointF(10, y));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 80, 170));
    if (up) {
        p.drawPolygon(QPolygonF({QPointF(9.5, 9), QPointF(16.5, 9), QPointF(13, 4)}));
        p.fillRect(QRectF(12, 9, 2, 6), QColor(30, 80, 170));
    } else {
        p.drawPolygon(QPolygonF({QPointF(9.5, 8), QPointF(16.5, 8), QPointF(13, 13)}));
        p.fillRect(QRectF(12, 2, 2, 6), QColor(30, 80, 170));
    }
}

void About(QPainter& p) {  // a question mark in a bubble
    p.setPen(QColor(30, 60, 130));
    p.setBrush(QColor(220, 230, 250));
    p.drawEllipse(QRectF(1.5, 1.5, 14, 14));
    p.setPen(QColor(30, 60, 130));
    p.setFont(Arial(12, true));
    p.drawText(QRectF(1.5, 1.5, 14, 14), Qt::AlignCenter, "?");
}

QImage ToolbarStrip(const std::vector<Button>& buttons) {
    QImage image = NewImage(kButton * static_cast<int>(buttons.size()), kButton, QColor(0, 0, 0, 0));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        p.save();
        p.translate(static_cast<double>(i) * kButton, 0);
        p.setClipRect(0, 0, kButton, kButton);
        buttons[i](p);
        p.restore();
    }
    return image;
}

QImage BuiltInToolbar() {
    return ToolbarStrip({Capture, Open, Bluetooth, Print, [](QPainter& p) { PageArrow(p, true); },
                         [](QPainter& p) { PageArrow(p, false); }, About});
}

// The test set: flat colours a test can recognise by one pixel.
QImage TestTile() { return NewImage(40, 30, QColor(200, 40, 160)); }

QImage TestToolbar() {
    std::vector<Button> buttons;
    for (int i = 0; i < 7; ++i) {
        buttons.push_back([i](QPainter& p) { p.fillRect(0, 0, kButton, kButton, QColor(10 + 30 * i, 200, 10)); });
    }
    return ToolbarStrip(buttons);
}

bool Save(const QImage& image, const QDir& dir, const char* name) {
    const QString path = dir.filePath(name);
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "quenda_draw_bitmaps: can't write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    // Drawing text needs a GUI application but no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    const bool test = args.size() == 3 && args[1] == "--test";
    if (args.size() != 2 && !test) {
        std::fprintf(stderr, "usage: quenda_draw_bitmaps [--test] OUTDIR\n");
        return 2;
    }
    QDir dir(args.back());
    if (!dir.mkpath(".")) {
        std::fprintf(stderr, "quenda_draw_bitmaps: can't create %s\n", qPrintable(args.back()));
        return 1;
    }
    bool ok = true;
    if (test) {
        ok = Save(TestTile(), dir, "bitmap131.png") && Save(TestToolbar(), dir, "toolbar128.png");
    } else {
        ok = Save(BackgroundTile(), dir, "bitmap131.png") && Save(Splash(), dir, "bitmap142.png") &&
             Save(AboutPicture(), dir, "bitmap215.png") && Save(BuiltInToolbar(), dir, "toolbar128.png") &&
             Save(Icon(), dir, "icon128.png");
    }
    return ok ? 0 : 1;
}
