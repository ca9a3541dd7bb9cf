#pragma once

#include <QDateTime>
#include <QList>
#include <QPointF>
#include <QSharedPointer>
#include <QString>
#include <QWidget>
#include <cstddef>
#include <optional>
#include <vector>

#include "ui/plot/trend_plot_samples.h"

class QComboBox;
class QCPAxisTickerDateTime;
class QCPAxisTickerFixed;
class QCPGraph;
class QCPItemText;
class QCustomPlot;
class QLabel;
class QPushButton;
class QTimer;

namespace zep8 {

// "График опроса входов": the poll results of the eight inputs as curves over
// local time. A tool window of its own; results are added on the window thread.
class CTrendPlot : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kInputs = 8;
    // Two hours of one input polled at 100 ms; 16 bytes a sample, about 9 MB
    // for all eight (taken when an input's first result arrives).
    static constexpr std::size_t kSamplesPerInput = 72000;

    // The time axis choices, in the order of the list in the window.
    enum class Span { Seconds10, Seconds60, Minutes10, Hour, All };

    explicit CTrendPlot(QWidget* parent = nullptr);
    ~CTrendPlot() override;

    // One poll result of `input` (0..7). No value is a failed read: the curve
    // breaks there. `label` names the curve in the legend; `why` (a read with
    // no number) follows it there until the input gives a number again.
    void AddSample(int input, const QString& label, QDateTime time, std::optional<double> value,
                   const QString& why = QString());
    void Clear();

    void SetSpan(Span span);
    Span span() const { return span_; }
    // Paused, results are still kept but the view stays where it is.
    void SetPaused(bool paused);
    bool IsPaused() const { return paused_; }
    // The picture of the plot as PNG; false when the file cannot be written.
    bool SavePicture(const QString& path);

    int SampleCount(int input) const;
    bool HasGapAfterLast(int input) const;
    // The time axis as last drawn, and an input's runs on it (times in
    // milliseconds since the epoch, values).
    QDateTime VisibleStart() const;
    QDateTime VisibleEnd() const;
    const std::vector<QList<QPointF>>& DrawnRuns(int input) const;

  signals:
    // Closed or hidden: the place it had is worth keeping.
    void hidden();

  public slots:
    // Draws at once; new results otherwise draw at most five times a second,
    // and no more often than the view moves by a pixel.
    void Redraw();

  protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    struct Curve {
        CTrendSamples samples{kSamplesPerInput};
        QString label;
        QString why;  // of the last read that gave no number
        QCPGraph* line = nullptr;  // the runs of two results and more; the legend entry
        QCPGraph* dots = nullptr;  // the runs of one result
        std::vector<QList<QPointF>> runs;  // as last drawn
    };

    void ShowRuns(Curve& curve, std::vector<QList<QPointF>> runs, int columns);
    void ShowInLegend();
    void ShowValueRange(double low, double high);
    void ScheduleRedraw();
    qint64 ViewEnd() const;
    qint64 ViewStart(qint64 end) const;
    void ShowReadout(const QPoint& position);
    void AskAndSavePicture();

    std::vector<Curve> curves_;
    Span span_ = Span::Seconds60;
    bool paused_ = false;
    qint64 pausedEnd_ = 0;
    std::optional<qint64> latest_;

    QCustomPlot* view_;
    QSharedPointer<QCPAxisTickerDateTime> timeTicker_;
    QSharedPointer<QCPAxisTickerFixed> valueTicker_;
    QCPItemText* noResults_;
    int drawnColumns_ = 0;  // the plot area's width when the curves were last cut to it
    QComboBox* spanBox_;
    QPushButton* pauseButton_;
    QLabel* readout_;
    QTimer* redrawTimer_;
};

}  // namespace zep8
