#include "views/Printing.h"

#include "base/AtomicFile.h"

#include <QBuffer>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>

namespace quenda {

namespace {

constexpr int kLogicalDpi = 96;
constexpr int kPrintQuality = 600;

}  // namespace

void SetUpLandscapeA4(QPagedPaintDevice& device) {
    device.setPageLayout(
        QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter));
}

void SetUpPrinter(QPrinter& printer) {
    printer.setResolution(kPrintQuality);
    SetUpLandscapeA4(printer);
    // Without it the origin sits at the printable margin.
    printer.setFullPage(true);
    printer.setFromTo(1, 1);
}

LayoutRect LandscapeA4Page() {
    const QSizeF points = QPageSize(QPageSize::A4).size(QPageSize::Point).transposed();
    return {0, 0, static_cast<int>(points.width() * kLogicalDpi / 72),
            static_cast<int>(points.height() * kLogicalDpi / 72)};
}

LayoutRect UseLogicalUnits(QPainter& painter, const QPagedPaintDevice& device) {
    const double sx = device.logicalDpiX() / double(kLogicalDpi);
    const double sy = device.logicalDpiY() / double(kLogicalDpi);
    painter.scale(sx, sy);
    return {0, 0, static_cast<int>(device.width() / sx), static_cast<int>(device.height() / sy)};
}

bool PaintOnePage(QPagedPaintDevice& device, const PagePainter& paint) {
    QPainter painter;
    if (!painter.begin(&device)) return false;
    const LayoutRect page = UseLogicalUnits(painter, device);
    paint(painter, page);
    return painter.end();
}

bool WritePagePdf(const std::filesystem::path& path, const PagePainter& paint, std::string& error) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter pdf(&buffer);
        pdf.setResolution(kPrintQuality);
        pdf.setCreator(QStringLiteral("Quenda"));
        SetUpLandscapeA4(pdf);
        if (!PaintOnePage(pdf, paint)) {
            error = "the page could not be drawn";
            return false;
        }
    }
    const QByteArray& bytes = buffer.data();
    return WriteFileAtomically(path, std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
                               error);
}

}  // namespace quenda
