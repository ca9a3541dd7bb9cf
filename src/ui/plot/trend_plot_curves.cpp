#include "ui/plot/trend_plot_curves.h"

#include <QPainter>
#include <QPen>
#include <QTransform>
#include <algorithm>
#include <utility>

namespace zep8 {

CTrendPlotCurves::CTrendPlotCurves(int curves) : curves_(static_cast<std::size_t>(curves)) {}

void CTrendPlotCurves::SetArea(const QRectF& area) {
    if (area == area_) return;
    prepareGeometryChange();
    area_ = area;
}

void CTrendPlotCurves::SetRanges(qint64 start, qint64 end, double low, double high) {
    start_ = start;
    end_ = std::max(end, start + 1);
    low_ = low;
    high_ = high > low ? high : low + 1;
    update();
}

void CTrendPlotCurves::SetRuns(int curve, const QColor& colour, std::vector<QList<QPointF>> runs) {
    curves_[curve] = {colour, std::move(runs)};
    update();
}

QRectF CTrendPlotCurves::boundingRect() const {
    return area_;
}

void CTrendPlotCurves::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*) {
    if (area_.isEmpty()) return;
    painter->save();
    painter->setClipRect(area_);
    // Times are kept relative to the start before scaling: milliseconds since
    // the epoch are too large to scale to pixels without losing them.
    QTransform toArea;
    toArea.translate(area_.left(), area_.bottom());
    toArea.scale(area_.width() / static_cast<double>(end_ - start_),
                 -area_.height() / (high_ - low_));
    toArea.translate(0, -low_);
    painter->setTransform(toArea, true);
    for (const Curve& curve : curves_) {
        // Smoothing costs several times the drawing itself; where a curve has
        // more points than the area has pixel columns it would not show anyway.
        qsizetype points = 0;
        for (const QList<QPointF>& run : curve.runs) points += run.size();
        painter->setRenderHint(QPainter::Antialiasing, points <= area_.width());
        // A cosmetic pen of width 1 takes the fast stroker; wider pens go
        // through the general one, several times slower with an hour in view.
        QPen pen(curve.colour, 1);
        pen.setCosmetic(true);
        painter->setPen(pen);
        QList<QPointF> dots;
        for (const QList<QPointF>& run : curve.runs) {
            if (run.size() == 1) {
                dots.append(
                    QPointF(run.front().x() - static_cast<double>(start_), run.front().y()));
                continue;
            }
            QList<QPointF> shifted(run.size());
            for (qsizetype i = 0; i < run.size(); ++i) {
                shifted[i] = QPointF(run[i].x() - static_cast<double>(start_), run[i].y());
            }
            painter->drawPolyline(shifted.constData(), static_cast<int>(shifted.size()));
        }
        if (!dots.isEmpty()) {
            pen.setWidthF(3);
            pen.setCapStyle(Qt::RoundCap);
            painter->setPen(pen);
            painter->drawPoints(dots.constData(), static_cast<int>(dots.size()));
        }
    }
    painter->restore();
}

}  // namespace zep8
