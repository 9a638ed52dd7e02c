#pragma once

#include "views/PageLayout.h"

#include <filesystem>
#include <functional>
#include <string>

class QPainter;
class QPagedPaintDevice;
class QPrinter;

namespace quenda {

// Printing one page: every view and the command line hand over a routine that
// draws their page onto a rectangle in logical units of 1/96 inch; it is drawn
// straight into the printer or PDF (vector output, sharp at any resolution),
// never through a screen-sized image.
using PagePainter = std::function<void(QPainter& painter, const LayoutRect& page)>;

// Landscape A4, no margins (the page rectangle is the whole sheet).
void SetUpLandscapeA4(QPagedPaintDevice& device);
// The above at quality 600, one page per job.
void SetUpPrinter(QPrinter& printer);

// The whole sheet in logical units: 1122 × 793 for landscape A4.
LayoutRect LandscapeA4Page();

// Maps the painter (begun on `device`) to 1/96-inch units and returns the
// device's page in those units.
LayoutRect UseLogicalUnits(QPainter& painter, const QPagedPaintDevice& device);

// Paints one page on `device`; false when the painter cannot start on it (the
// job could not start).
bool PaintOnePage(QPagedPaintDevice& device, const PagePainter& paint);

// Writes the page as a one-page landscape A4 PDF at `path`, all or nothing
// (built in memory, then written beside the target and renamed over it).
// False with `error` set when it cannot be written.
bool WritePagePdf(const std::filesystem::path& path, const PagePainter& paint, std::string& error);

}  // namespace quenda
