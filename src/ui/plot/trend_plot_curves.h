#pragma once

#include <QColor>
#include <QGraphicsItem>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QtGlobal>
#include <vector>

namespace zep8 {

// The curves of the poll plot, painted as plain polylines over the chart's
// plot area. Qt Charts' own line series strokes its whole path again for its
// hover shape on every change of points or axes, which alone took longer than
// the redraw budget with an hour in view; axes, grid and legend stay the chart's.
class CTrendPlotCurves : public QGraphicsItem {
  public:
    explicit CTrendPlotCurves(int curves);

    // The plot area in the parent's coordinates.
    void SetArea(const QRectF& area);
    // What the area shows: times in milliseconds since the epoch, and values.
    void SetRanges(qint64 start, qint64 end, double low, double high);
    // One curve's continuous runs, in times and values; runs of one result
    // are drawn as dots.
    void SetRuns(int curve, const QColor& colour, std::vector<QList<QPointF>> runs);
    const std::vector<QList<QPointF>>& Runs(int curve) const { return curves_[curve].runs; }

    QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

  private:
    struct Curve {
        QColor colour;
        std::vector<QList<QPointF>> runs;
    };

    std::vector<Curve> curves_;
    QRectF area_;
    qint64 start_ = 0, end_ = 1;
    double low_ = 0, high_ = 1;
};

}  // namespace zep8
