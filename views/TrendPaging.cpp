#include "views/TrendPaging.h"

#include <algorithm>

namespace quenda {

PageGeometry ComputePageGeometry(int drawingWidth, int sampleCount) {
    PageGeometry g;
    const int graphWidth = std::max(0, drawingWidth) * 89 / 100;
    g.minutesPerPage = graphWidth / kSamplesPerMinute;
    g.samplesPerPage = kSamplesPerMinute * g.minutesPerPage;
    if (sampleCount <= 0) {
        g.pageCount = 0;
    } else if (g.samplesPerPage == 0) {
        g.pageCount = 1;
    } else {
        g.pageCount = sampleCount / g.samplesPerPage + (sampleCount % g.samplesPerPage != 0 ? 1 : 0);
    }
    return g;
}

std::int64_t FirstSampleOfPage(int pageIndex, int samplesPerPage) {
    return static_cast<std::int64_t>(pageIndex) * samplesPerPage;
}

int ClampPageIndex(int pageIndex, int pageCount) {
    return pageCount > 0 && pageIndex >= pageCount ? pageCount - 1 : pageIndex;
}

int PageIndexAfterPageUp(int pageIndex, int rollStep) { return std::max(0, pageIndex - rollStep); }

PageDownResult PageIndexAfterPageDown(int pageIndex, int rollStep, int pageCount) {
    PageDownResult r;
    r.pageCount = pageCount == 0 ? 1 : pageCount;
    const std::int64_t next = static_cast<std::int64_t>(pageIndex) + rollStep;
    r.pageIndex = next < r.pageCount ? static_cast<int>(next) : r.pageCount - 1;
    return r;
}

}  // namespace quenda
