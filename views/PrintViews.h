#pragma once

#include "views/PageLayout.h"
#include "views/ReportLayout.h"

#include <span>
#include <string_view>

class QPainter;

namespace quenda {

// The pages a data set can be printed as without a window (quenda-cli print):
// each kind names itself, counts its pages on a given page rectangle and draws
// one of them through the same routine its view prints with. A new kind of
// page is one more entry in PrintViewKinds().
struct PrintViewKind {
    const char* name;  // as --view takes it
    // Pages of the data set on `page`; 1 for single-page kinds.
    int (*pageCount)(const ReportContent& data, const LayoutRect& page);
    void (*paint)(QPainter& painter, const LayoutRect& page, const ReportContent& data, int pageIndex);
};

// Report first: the default.
std::span<const PrintViewKind> PrintViewKinds();
const PrintViewKind* FindPrintViewKind(std::string_view name);

}  // namespace quenda
