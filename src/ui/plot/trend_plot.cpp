#include "ui/plot/trend_plot.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineF>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPen>
#include <QPushButton>
#include <QTimer>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QDateTimeAxis>
#include <QtCharts/QLegend>
#include <QtCharts/QLegendMarker>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <algorithm>
#include <cmath>

#include "ui/plot/trend_plot_curves.h"

namespace zep8 {
namespace {

constexpr qint64 kSecond = 1000;
constexpr qint64 kDay = 24 * 3600 * kSecond;
// Five pictures a second follow a live poll well enough and keep the window
// thread's share of a core small: a redraw lays out the chart's axes again.
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

void ShowInLegend(QChart& chart, QAbstractSeries* series, bool shown) {
    for (QLegendMarker* marker : chart.legend()->markers(series)) marker->setVisible(shown);
}

}  // namespace

CTrendPlot::CTrendPlot(QWidget* parent)
    : QWidget(parent, Qt::Tool),
      curves_(kInputs),
      chart_(new QChart),
      view_(new QChartView(chart_)),
      timeAxis_(new QDateTimeAxis),
      valueAxis_(new QValueAxis),
      lines_(new CTrendPlotCurves(kInputs)),
      spanBox_(new QComboBox),
      pauseButton_(new QPushButton(QStringLiteral("Пауза"))),
      readout_(new QLabel),
      redrawTimer_(new QTimer(this)) {
    setWindowTitle(QStringLiteral("График опроса входов"));

    chart_->legend()->setAlignment(Qt::AlignBottom);
    chart_->setMargins(QMargins(4, 4, 4, 4));
    // A plain fill: the theme's gradient is computed pixel by pixel on every repaint.
    chart_->setBackgroundBrush(QBrush(Qt::white));
    chart_->addAxis(timeAxis_, Qt::AlignBottom);
    chart_->addAxis(valueAxis_, Qt::AlignLeft);
    timeAxis_->setTickCount(7);
    valueAxis_->setLabelFormat(QStringLiteral("%g"));
    for (int input = 0; input < kInputs; ++input) {
        QLineSeries* legend = curves_[input].legend = new QLineSeries;
        legend->setPen(QPen(kColours[input], 2));
        legend->setName(DefaultLabel(input));
        chart_->addSeries(legend);
        legend->attachAxis(timeAxis_);
        legend->attachAxis(valueAxis_);
        ShowInLegend(*chart_, legend, false);
    }
    // Above the grid, below the legend.
    lines_->setParentItem(chart_);
    lines_->setZValue(5);
    connect(chart_, &QChart::plotAreaChanged, this, [this](const QRectF& area) {
        lines_->SetArea(area);
        ScheduleRedraw();  // the columns to decimate to have changed
    });

    view_->viewport()->setMouseTracking(true);
    view_->viewport()->setCursor(Qt::CrossCursor);
    view_->viewport()->installEventFilter(this);

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
    if (name != curve.legend->name()) curve.legend->setName(name);
    if (first) ShowInLegend(*chart_, curve.legend, true);
    ScheduleRedraw();
}

void CTrendPlot::Clear() {
    for (int input = 0; input < kInputs; ++input) {
        curves_[input].samples.Clear();
        ShowInLegend(*chart_, curves_[input].legend, false);
    }
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
    return timeAxis_->min();
}
QDateTime CTrendPlot::VisibleEnd() const {
    return timeAxis_->max();
}

const std::vector<QList<QPointF>>& CTrendPlot::DrawnRuns(int input) const {
    return lines_->Runs(input);
}

// At most ten times a second, and no more often than the view moves by a
// pixel: an hour across the window moves once every four seconds or so.
void CTrendPlot::ScheduleRedraw() {
    if (!isVisible() || redrawTimer_->isActive()) return;
    const qint64 end = ViewEnd();
    const double perPixel =
        static_cast<double>(end - ViewStart(end)) / std::max(1.0, chart_->plotArea().width());
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
    timeAxis_->setFormat(end - start > kDay ? QStringLiteral("dd.MM HH:mm")
                                            : QStringLiteral("HH:mm:ss"));
    timeAxis_->setRange(QDateTime::fromMSecsSinceEpoch(start), QDateTime::fromMSecsSinceEpoch(end));

    // Before the first layout the plot area is empty; the window's width is near enough.
    const qreal plotWidth = chart_->plotArea().width();
    const int columns = static_cast<int>(plotWidth > 10 ? plotWidth : view_->width());
    double low = 0, high = 0;
    bool hasValues = false;
    for (int input = 0; input < kInputs; ++input) {
        Curve& curve = curves_[input];
        TrendRuns shown = VisibleRuns(curve.samples, start, end, columns);
        lines_->SetRuns(input, kColours[input], std::move(shown.runs));
        if (!shown.hasValues) continue;
        low = hasValues ? std::min(low, shown.low) : shown.low;
        high = hasValues ? std::max(high, shown.high) : shown.high;
        hasValues = true;
    }
    if (hasValues) {
        ShowValueRange(low, high);
    } else {
        valueAxis_->setRange(0, 1);
        valueAxis_->setTickCount(6);
    }
    const QString title = latest_ ? QString() : QStringLiteral("Нет результатов опроса");
    if (chart_->title() != title) chart_->setTitle(title);
    lines_->SetRanges(start, end, valueAxis_->min(), valueAxis_->max());
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
    valueAxis_->setRange(low, high);
    valueAxis_->setTickCount(static_cast<int>(std::lround((high - low) / step)) + 1);
}

bool CTrendPlot::eventFilter(QObject* watched, QEvent* event) {
    if (watched == view_->viewport()) {
        if (event->type() == QEvent::MouseMove) {
            ShowReadout(static_cast<QMouseEvent*>(event)->position().toPoint());
        } else if (event->type() == QEvent::Leave) {
            readout_->clear();
        }
    }
    return QWidget::eventFilter(watched, event);
}

void CTrendPlot::ShowReadout(const QPoint& position) {
    const QPointF inChart = chart_->mapFromScene(view_->mapToScene(position));
    if (!chart_->plotArea().contains(inChart)) {
        readout_->clear();
        return;
    }
    QAbstractSeries* axes = curves_.front().legend;
    const QPointF value = chart_->mapToValue(inChart, axes);

    // The result nearest to the pointer within a few pixels, when a curve passes there.
    const auto timeAt = [&](double dx) {
        return static_cast<qint64>(chart_->mapToValue(inChart + QPointF(dx, 0), axes).x());
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
            const QPointF at = chart_->mapToPosition(
                QPointF(static_cast<double>(sample.time), sample.value), axes);
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
    const double range = valueAxis_->max() - valueAxis_->min();
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
