// The main window's layout kept between runs: Qt's own bytes as base64 text
// in the preferences. A kept value Qt does not take is passed over.
#include <QByteArray>

#include "app/preferences.h"
#include "ui/frame/main_frame.h"
#include "ui/plot/trend_plot.h"
#include "ui/tree/config_tree_view.h"

namespace zep8 {
namespace {

std::string Text(const QByteArray& bytes) {
    return bytes.toBase64().toStdString();
}

QByteArray Bytes(const std::string& text) {
    return QByteArray::fromBase64(QByteArray::fromStdString(text));
}

}  // namespace

bool CMainFrame::RestoreLayout() {
    keepLayout_ = true;
    const WindowLayout layout = Preferences(store_).windowLayout();
    view_->SetUserColumnWidths(layout.columnWidths);
    if (layout.geometry.empty() || !restoreGeometry(Bytes(layout.geometry))) return false;
    restoreState(Bytes(layout.state));
    return true;
}

void CMainFrame::SaveLayout() {
    if (!keepLayout_) return;
    Preferences preferences(store_);
    preferences.StoreWindowLayout(
        {Text(saveGeometry()), Text(saveState()), view_->userColumnWidths()});
    if (plot_ && plot_->isVisible()) preferences.StorePlotGeometry(Text(plot_->saveGeometry()));
}

void CMainFrame::KeepPlotLayout() {
    if (!keepLayout_) return;
    if (const std::string kept = Preferences(store_).plotGeometry(); !kept.empty())
        plot_->restoreGeometry(Bytes(kept));
    // Only the store and the plot itself: this may come while the frame goes.
    connect(plot_, &CTrendPlot::hidden, plot_, [&store = store_, plot = plot_] {
        Preferences(store).StorePlotGeometry(Text(plot->saveGeometry()));
    });
}

}  // namespace zep8
