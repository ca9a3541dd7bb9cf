#include "ui/plot/trend_plot.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QLineF>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPen>
#include <QPushButton>
#include <QTimer>
#include <QVector>
#include <algorithm>
#include <cmath>
#include <limits>
#include <qcustomplot.h>

namespace zep8 {
namespace {

constexpr qint64 kSecond = 1000;
constexpr qint64 kDay = 24 * 3600 * kSecond;
// Five pictures a second follow a live poll well enough and keep the window
// thread's share of a core small: a redraw lays out the axes and legend again.
constexpr int kRedrawMs = 200;
constexpr int kSlowestRedrawMs = 1000;
// How near the pointer must be to a result for the read-out to name it.
constexpr double kPickPixels = 12;
constexpr std::size_t kPickSamples = 2000;  // looked at per input, at most

const QColor kColours[CTrendPlot::kInputs] = {QColor(0x1f, 0x5f, 0xbf), QColor(0xe0, 0x6c, 0x00),
                                              QColor(0x2b, 0x8a, 0x3e), QColor(0xc9, 0x2a, 0x2a),
                                              QColor(0x70, 0x48, 0xe8), QColor(0x8d, 0x55, 0x24),
                                              QColor(0xd6, 0x33, 0x8c), QColor(0x0b, 0x86, 0x94)};

struct SpanChoice {
    const char* text;
    qint64 length;  // 0: everything kept
};
const SpanChoice kSpans[] = {{"10 с", 10 * kSecond},
                             {"60 с", 60 * kSecond},
                             {"10 мин", 600 * kSecond},
                             {"1 ч", 3600 * kSecond},
                             {"всё", 0}};

QString TimeText(qint64 time) {
    return QDateTime::fromMSecsSinceEpoch(time).toString(QStringLiteral("HH:mm:ss.zzz"));
}

QString ValueText(double value) {
    return QString::number(value, 'g', 7);
}

QString DefaultLabel(int input) {
    return QStringLiteral("Вход %1").arg(input + 1);
}

// The plot's keys are seconds since the epoch, as its time axis counts them.
double Seconds(double milliseconds) {
    return milliseconds / 1000;
}

// Paints the plot straight onto the widget. QCustomPlot's own replot draws
// its layers into buffers first, to paint unchanged layers again cheaply;
// here the time axis moves with every picture, and the buffers only added a
// clear and a blend of the whole area to each. Lay out and paint happen in
// the paint event, so a picture asked for with update() is made once however
// often it is asked before the event loop comes round.
class PlotView : public QCustomPlot {
  public:
    using QCustomPlot::QCustomPlot;

  protected:
    void paintEvent(QPaintEvent*) override {
        QCPPainter painter(this);
        painter.fillRect(rect(), Qt::white);
        draw(&painter);
    }
    void resizeEvent(QResizeEvent*) override {
        setViewport(rect());
        update();
    }
};

// The axes, the grid and the legend below the plot area; numbers with a point
// and no group separator, as everywhere in the program.
void SetUpAxes(QCustomPlot& view, const QSharedPointer<QCPAxisTickerDateTime>& time,
               const QSharedPointer<QCPAxisTickerFixed>& value) {
    QLocale numbers = QLocale::c();
    numbers.setNumberOptions(QLocale::OmitGroupSeparator);
    view.setLocale(numbers);
    view.setPlottingHints(QCP::phCacheLabels);
    time->setDateTimeSpec(Qt::LocalTime);
    time->setTickCount(7);
    view.xAxis->setTicker(time);
    value->setScaleStrategy(QCPAxisTickerFixed::ssNone);
    view.yAxis->setTicker(value);
    view.yAxis->setNumberFormat(QStringLiteral("g"));
    view.yAxis->setNumberPrecision(6);
    for (QCPAxis* axis : {view.xAxis, view.yAxis}) {
        axis->grid()->setPen(QPen(QColor(0xd8, 0xd8, 0xd8), 1, Qt::SolidLine));
        axis->grid()->setSubGridVisible(false);
    }

    // The time labels at the axis' ends stand half outside the plot area:
    // room for them, so the first is not cut at the window's edge.
    const int overhang =
        QFontMetrics(view.xAxis->tickLabelFont()).horizontalAdvance(QStringLiteral("00.00 00:00")) / 2;
    view.axisRect()->setMinimumMargins(QMargins(overhang + 4, 10, overhang + 4, 10));

    auto* below = new QCPLayoutGrid;
    view.plotLayout()->addElement(1, 0, below);
    view.plotLayout()->setRowStretchFactor(1, 0.001);
    below->setMargins(QMargins(4, 0, 4, 4));
    // Centred: empty places either side take the width the legend leaves.
    below->addElement(0, 0, new QCPLayoutElement(&view));
    below->addElement(0, 1, view.legend);
    below->addElement(0, 2, new QCPLayoutElement(&view));
    below->setColumnStretchFactors({1, 0.001, 1});
    view.legend->setColumnSpacing(16);
    view.legend->setVisible(true);
    view.legend->setBorderPen(Qt::NoPen);
    view.legend->setBrush(Qt::NoBrush);
    view.legend->setFillOrder(QCPLegend::foColumnsFirst);
    view.legend->setWrap(4);
    view.legend->setFont(view.font());
    view.legend->setIconSize(24, 10);
    view.legend->setSelectableParts(QCPLegend::spNone);
}

}  // namespace

CTrendPlot::CTrendPlot(QWidget* parent)
    : QWidget(parent, Qt::Tool),
      curves_(kInputs),
      view_(new PlotView),
      timeTicker_(new QCPAxisTickerDateTime),
      valueTicker_(new QCPAxisTickerFixed),
      spanBox_(new QComboBox),
      pauseButton_(new QPushButton(QStringLiteral("Пауза"))),
      readout_(new QLabel),
      redrawTimer_(new QTimer(this)) {
    setWindowTitle(QStringLiteral("График опроса входов"));

    SetUpAxes(*view_, timeTicker_, valueTicker_);
    for (int input = 0; input < kInputs; ++input) {
        Curve& curve = curves_[input];
        // Every run is already cut to the plot's columns, gaps kept: the
        // graph's own sampling would only look at the points again.
        curve.line = view_->addGraph();
        curve.line->setPen(QPen(kColours[input], 1));
        curve.line->setName(DefaultLabel(input));
        curve.line->setAdaptiveSampling(false);
        curve.dots = view_->addGraph();
        curve.dots->setLineStyle(QCPGraph::lsNone);
        curve.dots->setScatterStyle(
            QCPScatterStyle(QCPScatterStyle::ssDisc, kColours[input], kColours[input], 3));
        curve.dots->setAdaptiveSampling(false);
    }
    ShowInLegend();
    noResults_ = new QCPItemText(view_);
    noResults_->setClipToAxisRect(true);
    noResults_->position->setType(QCPItemPosition::ptAxisRectRatio);
    noResults_->position->setCoords(0.5, 0.5);
    noResults_->setText(QStringLiteral("Нет результатов опроса"));
    // The columns to cut the curves to change with the plot area.
    connect(view_, &QCustomPlot::afterLayout, this, [this] {
        if (view_->axisRect()->width() != drawnColumns_) ScheduleRedraw();
    });

    view_->setMouseTracking(true);
    view_->setCursor(Qt::CrossCursor);
    view_->installEventFilter(this);

    for (const SpanChoice& choice : kSpans) spanBox_->addItem(QString::fromUtf8(choice.text));
    spanBox_->setCurrentIndex(static_cast<int>(span_));
    connect(spanBox_, &QComboBox::currentIndexChanged, this,
            [this](int index) { SetSpan(static_cast<Span>(index)); });
    connect(pauseButton_, &QPushButton::clicked, this, [this] { SetPaused(!paused_); });
    // Wide enough for both of its texts, so the buttons beside it stay put.
    pauseButton_->setText(QStringLiteral("Продолжить"));
    pauseButton_->setMinimumWidth(pauseButton_->sizeHint().width());
    pauseButton_->setText(QStringLiteral("Пауза"));
    auto* clearButton = new QPushButton(QStringLiteral("Очистить"));
    connect(clearButton, &QPushButton::clicked, this, &CTrendPlot::Clear);
    auto* saveButton = new QPushButton(QStringLiteral("Сохранить рисунок..."));
    connect(saveButton, &QPushButton::clicked, this, &CTrendPlot::AskAndSavePicture);
    readout_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    readout_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // A long read-out is cut rather than widening the window under the pointer.
    readout_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

    auto* spanLabel = new QLabel(QStringLiteral("&Интервал:"));
    spanLabel->setBuddy(spanBox_);
    auto* controls = new QHBoxLayout;
    controls->addWidget(spanLabel);
    controls->addWidget(spanBox_);
    controls->addWidget(pauseButton_);
    controls->addWidget(clearButton);
    controls->addWidget(saveButton);
    controls->addSpacing(12);
    controls->addWidget(readout_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(controls);
    layout->addWidget(view_, 1);

    redrawTimer_->setSingleShot(true);
    connect(redrawTimer_, &QTimer::timeout, this, &CTrendPlot::Redraw);
    resize(900, 520);
}

CTrendPlot::~CTrendPlot() = default;

void CTrendPlot::AddSample(int input, const QString& label, QDateTime time,
                           std::optional<double> value, const QString& why) {
    if (input < 0 || input >= kInputs) return;
    Curve& curve = curves_[input];
    if (!time.isValid()) time = QDateTime::currentDateTime();
    const bool first = curve.samples.Size() == 0;
    // A value that cannot be drawn counts as a failed read.
    const double kept = value && std::isfinite(*value) ? *value : std::nan("");
    curve.samples.Add(time.toMSecsSinceEpoch(), kept);
    latest_ = std::max(latest_.value_or(curve.samples.Last().time), curve.samples.Last().time);
    // A break without a reason (the poll stopped) keeps the last one.
    if (std::isfinite(kept)) {
        curve.why.clear();
    } else if (!why.isEmpty()) {
        curve.why = why;
    }
    curve.label = label;
    QString name = label.isEmpty() ? DefaultLabel(input) : label;
    if (!curve.why.isEmpty()) name += QStringLiteral(": ") + curve.why;
    if (name != curve.line->name()) curve.line->setName(name);
    if (first) ShowInLegend();
    ScheduleRedraw();
}

void CTrendPlot::Clear() {
    for (Curve& curve : curves_) curve.samples.Clear();
    ShowInLegend();
    latest_.reset();
    readout_->clear();
    Redraw();
}

void CTrendPlot::SetSpan(Span span) {
    span_ = span;
    if (spanBox_->currentIndex() != static_cast<int>(span)) {
        spanBox_->setCurrentIndex(static_cast<int>(span));
    }
    Redraw();
}

void CTrendPlot::SetPaused(bool paused) {
    if (paused && !paused_) pausedEnd_ = ViewEnd();
    paused_ = paused;
    pauseButton_->setText(paused ? QStringLiteral("Продолжить") : QStringLiteral("Пауза"));
    Redraw();
}

int CTrendPlot::SampleCount(int input) const {
    if (input < 0 || input >= kInputs) return 0;
    return static_cast<int>(curves_[input].samples.Size());
}

bool CTrendPlot::HasGapAfterLast(int input) const {
    if (SampleCount(input) == 0) return false;
    return std::isnan(curves_[input].samples.Last().value);
}

QDateTime CTrendPlot::VisibleStart() const {
    return QDateTime::fromMSecsSinceEpoch(qRound64(view_->xAxis->range().lower * 1000));
}
QDateTime CTrendPlot::VisibleEnd() const {
    return QDateTime::fromMSecsSinceEpoch(qRound64(view_->xAxis->range().upper * 1000));
}

const std::vector<QList<QPointF>>& CTrendPlot::DrawnRuns(int input) const {
    return curves_[input].runs;
}

// The legend names the inputs with results, in their order.
void CTrendPlot::ShowInLegend() {
    view_->legend->clearItems();
    for (Curve& curve : curves_) {
        if (curve.samples.Size() > 0) curve.line->addToLegend();
    }
}

// At most ten times a second, and no more often than the view moves by a
// pixel: an hour across the window moves once every four seconds or so.
void CTrendPlot::ScheduleRedraw() {
    if (!isVisible() || redrawTimer_->isActive()) return;
    const qint64 end = ViewEnd();
    const double perPixel =
        static_cast<double>(end - ViewStart(end)) / std::max(1, view_->axisRect()->width());
    redrawTimer_->start(std::clamp(static_cast<int>(perPixel), kRedrawMs, kSlowestRedrawMs));
}

void CTrendPlot::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    Redraw();
}

void CTrendPlot::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    emit hidden();
}

qint64 CTrendPlot::ViewEnd() const {
    if (paused_) return pausedEnd_;
    return latest_ ? *latest_ : QDateTime::currentMSecsSinceEpoch();
}

qint64 CTrendPlot::ViewStart(qint64 end) const {
    const qint64 length = kSpans[static_cast<int>(span_)].length;
    if (length > 0) return end - length;
    qint64 start = end;
    for (const Curve& curve : curves_) {
        if (curve.samples.Size() > 0) start = std::min(start, curve.samples.At(0).time);
    }
    return std::min(start, end - kSecond);
}

void CTrendPlot::Redraw() {
    redrawTimer_->stop();
    if (!isVisible()) return;  // drawn when shown
    const qint64 end = ViewEnd();
    const qint64 start = ViewStart(end);
    timeTicker_->setDateTimeFormat(end - start > kDay ? QStringLiteral("dd.MM HH:mm")
                                                      : QStringLiteral("HH:mm:ss"));
    view_->xAxis->setRange(Seconds(static_cast<double>(start)), Seconds(static_cast<double>(end)));

    // Before the first layout the plot area is empty; the window's width is near enough.
    const int plotWidth = view_->axisRect()->width();
    const int columns = plotWidth > 10 ? plotWidth : view_->width();
    drawnColumns_ = plotWidth;
    double low = 0, high = 0;
    bool hasValues = false;
    for (Curve& curve : curves_) {
        TrendRuns shown = VisibleRuns(curve.samples, start, end, columns);
        ShowRuns(curve, std::move(shown.runs), columns);
        if (!shown.hasValues) continue;
        low = hasValues ? std::min(low, shown.low) : shown.low;
        high = hasValues ? std::max(high, shown.high) : shown.high;
        hasValues = true;
    }
    if (hasValues) {
        ShowValueRange(low, high);
    } else {
        view_->yAxis->setRange(0, 1);
        valueTicker_->setTickStep(0.2);
    }
    noResults_->setVisible(!latest_);
    view_->update();
}

// A graph's points: the runs of two results and more as one line broken by
// gaps, the runs of one result as dots.
void CTrendPlot::ShowRuns(Curve& curve, std::vector<QList<QPointF>> runs, int columns) {
    QVector<QCPGraphData> line, dots;
    qsizetype points = 0;
    for (const QList<QPointF>& run : runs) {
        if (run.size() == 1) {
            dots.append(QCPGraphData(Seconds(run.front().x()), run.front().y()));
            continue;
        }
        if (!line.isEmpty()) {
            line.append(QCPGraphData(line.constLast().key, std::numeric_limits<double>::quiet_NaN()));
        }
        for (const QPointF& point : run) line.append(QCPGraphData(Seconds(point.x()), point.y()));
        points += run.size();
    }
    // Smoothing costs several times the drawing itself; where a curve has
    // more points than the area has pixel columns it would not show anyway.
    curve.line->setAntialiased(points <= columns);
    curve.line->data()->set(line, true);
    curve.dots->data()->set(dots, true);
    curve.runs = std::move(runs);
}

// Round limits and a handful of ticks at steps of 1, 2 or 5 times a power of
// ten, so the labels stay short and do not jitter with every new result.
void CTrendPlot::ShowValueRange(double low, double high) {
    if (high - low < 1e-9) {
        const double pad = std::max(std::abs(high) * 0.05, 0.5);
        low -= pad;
        high += pad;
    }
    const double margin = (high - low) * 0.02;  // a curve never runs along the frame
    low -= margin;
    high += margin;
    const double rough = (high - low) / 6;
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    double step = 10 * power;
    for (double factor : {1.0, 2.0, 5.0}) {
        if (factor * power >= rough) {
            step = factor * power;
            break;
        }
    }
    low = std::floor(low / step) * step;
    high = std::ceil(high / step) * step;
    view_->yAxis->setRange(low, high);
    valueTicker_->setTickStep(step);
}

bool CTrendPlot::eventFilter(QObject* watched, QEvent* event) {
    if (watched == view_) {
        if (event->type() == QEvent::MouseMove) {
            ShowReadout(static_cast<QMouseEvent*>(event)->position().toPoint());
        } else if (event->type() == QEvent::Leave) {
            readout_->clear();
        }
    }
    return QWidget::eventFilter(watched, event);
}

void CTrendPlot::ShowReadout(const QPoint& position) {
    if (!view_->axisRect()->rect().contains(position)) {
        readout_->clear();
        return;
    }
    const QCPAxis& timeAxis = *view_->xAxis;
    const QCPAxis& valueAxis = *view_->yAxis;
    const QPointF inChart(position);
    const QPointF value(timeAxis.pixelToCoord(inChart.x()) * 1000,
                        valueAxis.pixelToCoord(inChart.y()));

    // The result nearest to the pointer within a few pixels, when a curve passes there.
    const auto timeAt = [&](double dx) {
        return static_cast<qint64>(timeAxis.pixelToCoord(inChart.x() + dx) * 1000);
    };
    const qint64 from = timeAt(-kPickPixels), to = timeAt(kPickPixels);
    double nearest = kPickPixels;
    QString picked;
    for (int input = 0; input < kInputs; ++input) {
        const CTrendSamples& samples = curves_[input].samples;
        const std::size_t begin = samples.LowerBound(from), end = samples.LowerBound(to + 1);
        const std::size_t stride = std::max<std::size_t>(1, (end - begin) / kPickSamples);
        for (std::size_t i = begin; i < end; i += stride) {
            const auto& sample = samples.At(i);
            if (std::isnan(sample.value)) continue;
            const QPointF at(timeAxis.coordToPixel(Seconds(static_cast<double>(sample.time))),
                             valueAxis.coordToPixel(sample.value));
            const double distance = QLineF(at, inChart).length();
            if (distance >= nearest) continue;
            nearest = distance;
            const QString& label = curves_[input].label;
            picked = QStringLiteral("%1: %2   (%3)")
                         .arg(label.isEmpty() ? DefaultLabel(input) : label,
                              ValueText(sample.value), TimeText(sample.time));
        }
    }
    if (!picked.isEmpty()) {
        readout_->setText(picked);
        return;
    }
    // The pointer's own place, its value to about a thousandth of the axis.
    const double range = valueAxis.range().size();
    const int decimals = std::clamp(2 - static_cast<int>(std::floor(std::log10(range))), 0, 9);
    readout_->setText(TimeText(static_cast<qint64>(value.x())) + QStringLiteral("   ") +
                      QString::number(value.y(), 'f', decimals));
}

bool CTrendPlot::SavePicture(const QString& path) {
    if (redrawTimer_->isActive()) Redraw();
    return view_->grab().save(path, "PNG");
}

void CTrendPlot::AskAndSavePicture() {
    const QString proposed = QDir::home().filePath(
        QStringLiteral("график-%1.png")
            .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"))));
    QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Сохранить рисунок"), proposed,
                                                QStringLiteral("Рисунок PNG (*.png)"));
    if (path.isEmpty()) return;
    if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".png");
    if (!SavePicture(path)) {
        QMessageBox::warning(this, windowTitle(),
                             QStringLiteral("Не удалось записать рисунок в файл «%1».").arg(path));
    }
}

}  // namespace zep8
