#include "views/PageLayout.h"

#include <algorithm>

namespace quenda {

void CurveColumns(const std::vector<LayoutPoint>& points, std::vector<ColumnSpan>& out) {
    out.clear();
    if (points.size() < 2) return;
    // The half of a join that falls into the column of `from`.
    auto halfWay = [](int from, int to) { return from + (to - from) / 2; };
    std::size_t i = 0;
    while (i < points.size()) {
        const int x = points[i].x;
        std::size_t j = i;
        int top = points[i].y, bottom = points[i].y;
        for (; j < points.size() && points[j].x == x; ++j) {
            top = std::min(top, points[j].y);
            bottom = std::max(bottom, points[j].y);
        }
        if (i > 0) {
            const int y = halfWay(points[i].y, points[i - 1].y);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
        if (j < points.size()) {
            const int y = halfWay(points[j - 1].y, points[j].y);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
        out.push_back({x, top, bottom});
        i = j;
    }
}

}  // namespace quenda
