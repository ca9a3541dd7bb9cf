#include <QComboBox>
#include <QDateTime>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <optional>
#include <qcustomplot.h>
#include <vector>

#include "ui/plot/trend_plot.h"
#include "ui/plot/trend_plot_samples.h"
#include "ui/ui_test_main.h"

namespace zep8 {
namespace {

const QDateTime kStart(QDate(2024, 3, 1), QTime(12, 0));

QDateTime At(double seconds) {
    return kStart.addMSecs(qRound64(seconds * 1000));
}

QCustomPlot* ViewOf(CTrendPlot& plot) {
    return plot.findChild<QCustomPlot*>();
}

QStringList LegendLabels(CTrendPlot& plot) {
    QStringList labels;
    QCPLegend* legend = ViewOf(plot)->legend;
    for (int i = 0; i < legend->itemCount(); ++i) {
        if (auto* item = qobject_cast<QCPPlottableLegendItem*>(legend->item(i))) {
            labels << item->plottable()->name();
        }
    }
    return labels;
}

// The lines drawn for one input, each a continuous run.
int RunCount(CTrendPlot& plot, int input) {
    return static_cast<int>(plot.DrawnRuns(input).size());
}

QPushButton* Button(CTrendPlot& plot, const QString& text) {
    for (auto* button : plot.findChildren<QPushButton*>()) {
        if (button->text() == text) return button;
    }
    return nullptr;
}

}  // namespace

class TrendPlotTest : public QObject {
    Q_OBJECT

  private slots:
    // Two polled inputs give two labelled curves; a failed read breaks one of
    // them instead of dropping to zero, and the read-out names the curve under the pointer.
    void CurvesLabelsAndGap() {
        CTrendPlot plot;
        plot.show();
        QVERIFY(QTest::qWaitForWindowExposed(&plot));
        QCOMPARE(plot.windowTitle(), QStringLiteral("График опроса входов"));
        for (int i = 0; i < 20; ++i) {
            plot.AddSample(0, QStringLiteral("Вход 1"), At(i * 0.1), 20 + i * 0.1);
            std::optional<double> value;
            if (i != 10) value = 25 + i * 0.1;
            plot.AddSample(4, QStringLiteral("Печь"), At(i * 0.1), value);
        }
        plot.AddSample(0, QStringLiteral("Давление"), At(2.0), 22);
        QTRY_COMPARE(RunCount(plot, 4), 2);

        QCOMPARE(LegendLabels(plot), (QStringList{"Давление", "Печь"}));
        QCOMPARE(plot.SampleCount(0), 21);
        QCOMPARE(plot.SampleCount(4), 20);
        QCOMPARE(plot.SampleCount(1), 0);
        QCOMPARE(RunCount(plot, 0), 1);
        const auto runs = plot.DrawnRuns(4);
        QCOMPARE(runs[0].size() + runs[1].size(), 19);
        QCOMPARE(runs[0].last().x(), static_cast<double>(At(0.9).toMSecsSinceEpoch()));
        QCOMPARE(runs[1].first().x(), static_cast<double>(At(1.1).toMSecsSinceEpoch()));
        for (const auto& run : runs) {
            for (const QPointF& point : run) QVERIFY(point.y() >= 25);
        }
        QVERIFY(!plot.HasGapAfterLast(4));
        plot.AddSample(4, QStringLiteral("Печь"), At(2.0), std::nullopt);
        QVERIFY(plot.HasGapAfterLast(4));

        // The pointer on the second curve at 0.5 s.
        QCustomPlot* view = ViewOf(plot);
        const QPoint inView(
            qRound(view->xAxis->coordToPixel(At(0.5).toMSecsSinceEpoch() / 1000.0)),
            qRound(view->yAxis->coordToPixel(25.5)));
        QMouseEvent move(QEvent::MouseMove, inView, view->mapToGlobal(inView), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(view, &move);
        bool named = false;
        for (QLabel* label : plot.findChildren<QLabel*>()) {
            named = named || label->text() == QStringLiteral("Печь: 25.5   (12:00:00.500)");
        }
        QVERIFY(named);

        plot.Clear();
        QCOMPARE(plot.SampleCount(4), 0);
        QVERIFY(LegendLabels(plot).isEmpty());
        QCOMPARE(RunCount(plot, 0), 0);
    }

    // An input that answers with no number says why in its legend entry, so
    // an empty chart explains itself; a stopped poll keeps the reason, a
    // number again brings the plain label back.
    void LegendSaysWhyThereIsNoNumber() {
        CTrendPlot plot;
        plot.show();
        QVERIFY(QTest::qWaitForWindowExposed(&plot));
        plot.AddSample(0, QStringLiteral("Вход №1"), At(0), std::nullopt,
                       QStringLiteral("Датчик отключен."));
        plot.AddSample(1, QStringLiteral("Вход №2"), At(0), 20.5);
        QCOMPARE(LegendLabels(plot), (QStringList{"Вход №1: Датчик отключен.", "Вход №2"}));
        plot.AddSample(0, QStringLiteral("Вход №1"), At(1), std::nullopt);
        QCOMPARE(LegendLabels(plot).first(), QStringLiteral("Вход №1: Датчик отключен."));
        plot.AddSample(0, QStringLiteral("Вход №1"), At(2), 21.0);
        QCOMPARE(LegendLabels(plot), (QStringList{"Вход №1", "Вход №2"}));
    }

    // The time axis shows the last minute and moves with the results; paused,
    // it stays while the results are still kept; "всё" shows everything kept.
    void WindowFollowsTimeAndPauseHoldsIt() {
        CTrendPlot plot;
        plot.show();
        QVERIFY(QTest::qWaitForWindowExposed(&plot));
        for (int s = 0; s <= 120; ++s) plot.AddSample(2, QStringLiteral("Т"), At(s), s % 7);
        QTRY_COMPARE(plot.VisibleEnd(), At(120));
        QCOMPARE(plot.VisibleStart(), At(60));

        QPushButton* pause = Button(plot, QStringLiteral("Пауза"));
        QVERIFY(pause);
        pause->click();
        QCOMPARE(pause->text(), QStringLiteral("Продолжить"));
        for (int s = 121; s <= 150; ++s) plot.AddSample(2, QStringLiteral("Т"), At(s), s % 7);
        QTest::qWait(250);
        QCOMPARE(plot.VisibleEnd(), At(120));
        QCOMPARE(plot.SampleCount(2), 151);

        pause->click();
        QCOMPARE(pause->text(), QStringLiteral("Пауза"));
        QCOMPARE(plot.VisibleEnd(), At(150));

        auto* spans = plot.findChild<QComboBox*>();
        spans->setCurrentIndex(spans->findText(QStringLiteral("всё")));
        QCOMPARE(plot.VisibleStart(), At(0));
        spans->setCurrentIndex(spans->findText(QStringLiteral("10 с")));
        QCOMPARE(plot.VisibleStart(), At(140));
    }

    // An hour and more at 10 Hz is kept up to the limit, and drawn with no more
    // points than the plot has pixel columns to show them, the gap still there.
    void LongHistoryIsKeptAndDrawnToTheWidth() {
        CTrendPlot plot;
        plot.show();
        QVERIFY(QTest::qWaitForWindowExposed(&plot));
        const int count = static_cast<int>(CTrendPlot::kSamplesPerInput) + 600;
        for (int i = 0; i < count; ++i) {
            std::optional<double> value;
            if (i < count - 3000 || i > count - 2900) value = std::sin(i / 300.0);
            plot.AddSample(7, QStringLiteral("Синус"), At(i * 0.1), value);
        }
        QCOMPARE(plot.SampleCount(7), static_cast<int>(CTrendPlot::kSamplesPerInput));
        plot.SetSpan(CTrendPlot::Span::All);
        QCOMPARE(plot.VisibleStart(), At((count - CTrendPlot::kSamplesPerInput) * 0.1));

        const auto runs = plot.DrawnRuns(7);
        QCOMPARE(RunCount(plot, 7), 2);
        const double width = ViewOf(plot)->axisRect()->width();
        QVERIFY(runs[0].size() + runs[1].size() <= 2 * plot.width());
        QVERIFY(runs[0].size() + runs[1].size() > width);
    }

    // The decimation reads whole blocks of results from their kept extremes;
    // what it draws must not depend on where the blocks fall, nor on how far
    // the ring has turned: the same kept results give the same runs.
    void DecimationDoesNotDependOnTheBlocks() {
        const auto value = [](int i) {
            // A wobbly line with failed reads, some alone, some in a row.
            return i % 251 == 5 || (i % 677 >= 40 && i % 677 < 52) ? std::nan("")
                                                                  : std::sin(i * 0.37) * (i % 13);
        };
        const qint64 t0 = 1'700'000'000'000;
        std::vector<TrendRuns> seen;
        for (int shift = 0; shift <= static_cast<int>(CTrendSamples::kBlock); ++shift) {
            CTrendSamples samples(1000);
            // `shift` more results first, gone from the ring at the end.
            for (int i = -200 - shift; i < 1000; ++i) samples.Add(t0 + i * 100 + i % 3, value(i));
            QCOMPARE(samples.At(0).time, t0);
            for (const int columns : {7, 37, 120}) {
                seen.push_back(VisibleRuns(samples, t0 + 2'050, t0 + 97'000, columns));
                QVERIFY(seen.back().hasValues);
            }
        }
        for (std::size_t i = 3; i < seen.size(); ++i) {
            const TrendRuns& first = seen[i % 3];
            QCOMPARE(seen[i].runs, first.runs);
            QCOMPARE(seen[i].low, first.low);
            QCOMPARE(seen[i].high, first.high);
        }
        // Decimated: two points a column at most, broken at the failed reads.
        QVERIFY(seen[1].runs.size() > 3);
        qsizetype points = 0;
        for (const auto& run : seen[1].runs) points += run.size();
        QVERIFY(points <= 2 * 37 + 2);
    }

    // The picture is written as a PNG that reads back; an unwritable path says so.
    void SavesThePicture() {
        CTrendPlot plot;
        plot.show();
        QVERIFY(QTest::qWaitForWindowExposed(&plot));
        for (int i = 0; i < 50; ++i) plot.AddSample(1, QStringLiteral("Вход 2"), At(i), i);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("график.png"));
        QVERIFY(plot.SavePicture(path));
        QImage image;
        QVERIFY(image.load(path, "PNG"));
        QCOMPARE(image.size(), ViewOf(plot)->size());
        QVERIFY(!plot.SavePicture(dir.filePath(QStringLiteral("нет/график.png"))));
    }
};

}  // namespace zep8

ZEP8_UI_TEST(TrendPlotTest, "trend_plot_test");
#include "trend_plot_test.moc"
