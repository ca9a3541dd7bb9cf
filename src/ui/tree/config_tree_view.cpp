#include "ui/tree/config_tree_view.h"

#include <QApplication>
#include <QHeaderView>
#include <QMenu>
#include <QResizeEvent>
#include <QThread>
#include <algorithm>
#include <utility>
#include <vector>

#include "app/document.h"
#include "model/tree_row.h"
#include "platform/process_state.h"
#include "platform/prompter.h"
#include "ui/frame/widget_helpers.h"
#include "ui/frame/window_jobs.h"

namespace zep8 {
namespace {

constexpr int kRootImage = 25;

struct ColumnSpec {
    const char* title;
    int alignment;
    double units;  // tenths of the view's width
};
constexpr ColumnSpec kColumns[] = {
    {"Описание", CTreeListCtrl::ALIGN_LEFT, 3},
    {"Имя параметра", CTreeListCtrl::ALIGN_RIGHT, 1},
    {"Значение", CTreeListCtrl::ALIGN_RIGHT, 1.5},
    {"Атрибут редактирования", CTreeListCtrl::ALIGN_RIGHT, 1.1},
    {"Ошибки ввода-вывода", CTreeListCtrl::ALIGN_RIGHT, 3.4},
};

QColor ColourOf(RowColour c) {
    return QColor(c.red, c.green, c.blue);
}

}  // namespace

CZEP8TreeListView::CZEP8TreeListView(Document& document, Prompter& prompter, WindowJobs& jobs,
                                     QWidget* parent)
    : CNewTreeListCtrlView(parent),
      document_(document),
      prompter_(prompter),
      jobs_(jobs),
      editor_(document.device(), prompter) {
    CTreeListCtrl& tree = GetTreeCtrl();
    connect(&tree, &CTreeListCtrl::rowExpanding, this, &CZEP8TreeListView::OnRowExpanding);
    connect(&tree, &CTreeListCtrl::editEnded, this,
            [this](Row row, int column, const QString& oldText, const QString& newText, int) {
                OnEditEnded(row, column, oldText, newText);
                // What came in under the editor shows now.
                if (const Parameter* waited = std::exchange(shownAfterEdit_, nullptr)) {
                    ShowParameter(RowOf(waited));
                }
            });
    connect(&tree, &CTreeListCtrl::contextMenuWanted, this, &CZEP8TreeListView::OnContextMenu);
    connect(&tree, &CTreeListCtrl::stateIconClicked, this, &CZEP8TreeListView::OnStateIcon);
    // Notices come on this thread (the main window sees to it).
    subscription_ =
        document.changes().Subscribe([this](const ChangeNotice& notice) { OnChange(notice); });
    polling_ = std::make_unique<ChannelPolling>(document.device());
    polling_->SetChangeSink([this] { MarkModified(); });
    // Results come on the scanners' threads; the rows change on this one.
    polling_->SetResultSink([this](PollResult&& result) {
        PostToThread(this, [this, result = std::move(result)] { OnPollResult(result); });
    });
    connect(tree.header(), &QHeaderView::sectionResized, this, [this] {
        // Once the operator sizes a column, the widths are his.
        if (QApplication::mouseButtons() & Qt::LeftButton) columnsSizedByUser_ = true;
    });
}

// Tenths of the view's width, but no title cut: what the narrow columns need
// for their titles comes out of the description and error columns.
std::vector<int> CZEP8TreeListView::ColumnWidths() const {
    const double unit = (width() - 15) / 10.0;
    const QFontMetrics metrics(GetTreeCtrl().header()->font());
    std::vector<int> widths, titles;
    int missing = 0;
    for (const ColumnSpec& c : kColumns) {
        titles.push_back(metrics.horizontalAdvance(QString::fromUtf8(c.title)) + 16);
        widths.push_back(static_cast<int>(unit * c.units));
        missing += std::max(0, titles.back() - widths.back());
        widths.back() = std::max(widths.back(), titles.back());
    }
    for (int wide : {4, 0}) {
        const int take = std::min(missing, std::max(0, widths[wide] - titles[wide]));
        widths[wide] -= take;
        missing -= take;
    }
    return widths;
}

void CZEP8TreeListView::InsertColumns() {
    CTreeListCtrl& tree = GetTreeCtrl();
    const std::vector<int> widths = keptWidths_.empty() ? ColumnWidths() : keptWidths_;
    for (int i = 0; i < static_cast<int>(std::size(kColumns)); ++i) {
        tree.InsertColumn(i, QString::fromUtf8(kColumns[i].title), kColumns[i].alignment,
                          widths[static_cast<std::size_t>(i)]);
    }
}

void CZEP8TreeListView::FitColumns() {
    if (columnsSizedByUser_) return;
    CTreeListCtrl& tree = GetTreeCtrl();
    const std::vector<int> widths = ColumnWidths();
    for (int i = 0; i < tree.columnCount() && i < static_cast<int>(widths.size()); ++i) {
        tree.setColumnWidth(i, widths[static_cast<std::size_t>(i)]);
    }
}

std::vector<int> CZEP8TreeListView::userColumnWidths() const {
    if (!columnsSizedByUser_) return {};
    const CTreeListCtrl& tree = GetTreeCtrl();
    if (tree.columnCount() < static_cast<int>(std::size(kColumns))) return keptWidths_;
    std::vector<int> widths;
    for (int i = 0; i < static_cast<int>(std::size(kColumns)); ++i)
        widths.push_back(tree.columnWidth(i));
    return widths;
}

void CZEP8TreeListView::SetUserColumnWidths(const std::vector<int>& widths) {
    if (widths.size() != std::size(kColumns)) return;
    columnsSizedByUser_ = true;
    keptWidths_ = widths;
    CTreeListCtrl& tree = GetTreeCtrl();
    for (int i = 0; i < tree.columnCount() && i < static_cast<int>(widths.size()); ++i)
        tree.setColumnWidth(i, widths[static_cast<std::size_t>(i)]);
}

void CZEP8TreeListView::resizeEvent(QResizeEvent* event) {
    CNewTreeListCtrlView::resizeEvent(event);
    FitColumns();
}

void CZEP8TreeListView::OnInitialUpdate() {
    CTreeListCtrl& tree = GetTreeCtrl();
    if (tree.columnCount() < static_cast<int>(std::size(kColumns))) InsertColumns();
    if (!root_) BuildTree();
    tree.expandItem(root_);
}

void CZEP8TreeListView::BuildTree() {
    CTreeListCtrl& tree = GetTreeCtrl();
    tree.Clear();
    builtFrom_.clear();
    root_ = tree.InsertRow(Q("Конфигурация ZEP8 (" + document_.title() + ")"), kRootImage,
                           kRootImage, false, false, nullptr, nullptr);
    Device& device = document_.device();
    AddNode(document_.serviceNode(), root_);
    AddNode(device.programNet(), root_);
    // The module's groups, in the device's order.
    AddNode(device.commonNode, root_);
    AddNode(device.netNode, root_);
    AddNode(device.channelsNode, root_);
}

void CZEP8TreeListView::AddNode(InvisibleElement& node, Row parent) {
    CTreeListCtrl& tree = GetTreeCtrl();
    const TreeRow item = DescribeNodeItem(node, showIndexes_, prompter_);
    const Row row =
        tree.InsertRow(Q(item.text), item.image, item.selectedImage, false, false, parent, nullptr);
    tree.SetRowObject(row, RowObject::of(&node));
    builtFrom_.emplace_back(&node, node.listGeneration());
    tree.SetCellText(row, 1, Q(item.columns[1]));
    for (const auto& p : node.parameters()) {
        const TreeRow r = DescribeParameterRow(*p, node, showIndexes_);
        const Row child = tree.InsertRow(Q(r.text), r.image, r.selectedImage, r.editAsText,
                                         r.editAsChoice, row, nullptr);
        tree.SetRowObject(child, RowObject::of(p.get()));
        for (int column = 1; column < 5; ++column) {
            tree.SetCellText(child, column, Q(r.columns[static_cast<std::size_t>(column)]));
        }
        tree.SetRowColour(child, ColourOf(r.colour), false);
    }
    if (auto* channels = dynamic_cast<Channels*>(&node)) {
        for (int i = 0; i < kInputCount; ++i) AddNode(channels->channel(i), row);
        AddPollBranch(row);
    }
}

void CZEP8TreeListView::AddPollBranch(Row parent) {
    CTreeListCtrl& tree = GetTreeCtrl();
    Channels& channels = document_.device().channelsNode;
    Row group = nullptr;
    for (const PollBranchRow& r : polling_->DescribeBranch()) {
        const bool isGroup = r.kind == PollBranchRow::Kind::Group;
        const Row row =
            tree.InsertRow(Q(r.row.text), r.row.image, r.row.selectedImage, r.row.editAsText,
                           r.row.editAsChoice, isGroup ? parent : group, nullptr);
        for (int column = 1; column < 5; ++column) {
            tree.SetCellText(row, column, Q(r.row.columns[static_cast<std::size_t>(column)]));
        }
        tree.SetStateIcon(row, r.stateIcon);
        tree.SetRowColour(row, ColourOf(r.row.colour), false);
        switch (r.kind) {
            case PollBranchRow::Kind::Group:
                group = row;
                break;
            case PollBranchRow::Kind::Logging:
                tree.SetRowObject(row, RowObject::of(&channels.logSwitch));
                break;
            case PollBranchRow::Kind::Caption:
                tree.SetRowCaption(row, true);
                break;
            case PollBranchRow::Kind::Poll:
                tree.SetRowObject(row, RowObject::poller(r.input));
                break;
        }
        if (r.disabled) tree.SetRowDisabled(row, true, false, false);
    }
    pollGroup_ = group;
}

// The rows hold the document's parameters; a group whose list was made anew
// since has other ones.
bool CZEP8TreeListView::RowsMatchDocument() const {
    return std::all_of(builtFrom_.begin(), builtFrom_.end(), [](const auto& built) {
        return built.first->listGeneration() == built.second;
    });
}

void CZEP8TreeListView::OnChange(const ChangeNotice& notice) {
    if (!root_) return;
    CTreeListCtrl& tree = GetTreeCtrl();
    if (notice.kind == ChangeNotice::Kind::Rebuilt || !RowsMatchDocument()) {
        BuildTree();
        tree.expandItem(root_);
        return;
    }
    switch (notice.kind) {
        case ChangeNotice::Kind::Value:
            ShowParameter(tree.model().RowOfPointer(notice.parameter));
            break;
        case ChangeNotice::Kind::Values:
            RefreshRows(notice.node ? tree.model().RowOfPointer(notice.node) : root_);
            break;
        case ChangeNotice::Kind::Title:
            tree.SetCellText(root_, 0, Q("Конфигурация ZEP8 (" + document_.title() + ")"));
            break;
        default:
            break;
    }
}

void CZEP8TreeListView::RefreshAll() {
    OnChange(ChangeNotice::AllValues());
}

void CZEP8TreeListView::RefreshRows(Row parent) {
    if (!parent) return;
    for (int i = 0; i < parent->childCount(); ++i) {
        const Row row = parent->child(i);
        if (GetTreeCtrl().GetRowObject(row).parameter()) {
            ShowParameter(row);
        } else if (row->childCount() > 0) {
            RefreshRows(row);
        }
    }
}

void CZEP8TreeListView::ShowParameter(Row row) {
    if (!row) return;
    CTreeListCtrl& tree = GetTreeCtrl();
    const Parameter* p = tree.GetRowObject(row).parameter();
    const InvisibleElement* owner = tree.GetRowObject(row->parent()).node();
    if (!p || !owner) return;
    // The operator's edit stays his: the row shows the news once it ends.
    if (row == tree.EditingRow()) {
        shownAfterEdit_ = p;
        return;
    }
    const TreeRow r = DescribeParameterRow(*p, *owner, showIndexes_);
    for (int column = 1; column < 5; ++column) {
        tree.SetCellText(row, column, Q(r.columns[static_cast<std::size_t>(column)]));
    }
    tree.SetRowColour(row, ColourOf(r.colour), true);
}

CZEP8TreeListView::Row CZEP8TreeListView::RowOf(const void* object) const {
    return GetTreeCtrl().model().RowOfPointer(object);
}

void CZEP8TreeListView::OnRowExpanding(Row row) {
    CTreeListCtrl& tree = GetTreeCtrl();
    if (row == pollGroup_) {
        polling_->ExpandGroup();
        for (int i = 0; i < row->childCount(); ++i) {
            const RowObject object = tree.GetRowObject(row->child(i));
            if (object.kind == RowObject::Kind::Poller) {
                tree.SetCellText(row->child(i), 0,
                                 Q(polling_->DescribePollRow(object.number).row.text));
            }
        }
        return;
    }
    InvisibleElement* node = tree.GetRowObject(row).node();
    if (!node) return;  // the root
    ReadGroup(*node);
}

// Off the window thread, under the wait cursor; each row shows its value as it comes.
void CZEP8TreeListView::ReadGroup(InvisibleElement& node) {
    const std::shared_ptr<GroupRead> read = editor_.ReadOnExpand(node, autoRead_);
    if (!read) return;
    jobs_.Run(
        [this, read](WindowJobs::Context& job) {
            read->Read(job.stop(), [this, &job, read](std::size_t item, Parameter value) {
                job.Post([this, read, item, value = std::move(value)] {
                    if (const Parameter* p = read->Store(item, value)) {
                        document_.changes().Notify(ChangeNotice::ValueOf(*p));
                    }
                });
            });
        },
        [this, &node] { editor_.ExpandReadEnded(node); });
}

void CZEP8TreeListView::OnEditEnded(Row row, int column, const QString& oldText,
                                    const QString& newText) {
    CTreeListCtrl& tree = GetTreeCtrl();
    if (EditPollRow(row, column, oldText, newText)) return;
    Parameter* p = tree.GetRowObject(row).parameter();
    InvisibleElement* owner = row->parent() ? tree.GetRowObject(row->parent()).node() : nullptr;
    if (!p || !owner || (column != 2 && column != 3)) return;

    const std::string before = oldText.toStdString();
    const std::string after = newText.toStdString();
    const EditOutcome outcome = column == 2 ? editor_.EditValue(*p, *owner, before, after)
                                            : editor_.EditAttribute(*p, before, after);
    if (outcome.changedAnything) MarkModified();
    if (!outcome.accepted) {
        tree.SetCellText(row, column, oldText);
        return;
    }
    tree.SetCellText(row, column, Q(outcome.cellText));
    if (outcome.pending) {
        if (const Row shown = RowOf(p)) tree.SetRowColour(shown, ColourOf(kRowPending), true);
    }
}

// The poll branch's own cells: the log's name, a poll's label and period.
bool CZEP8TreeListView::EditPollRow(Row row, int column, const QString& oldText,
                                    const QString& newText) {
    CTreeListCtrl& tree = GetTreeCtrl();
    const RowObject object = tree.GetRowObject(row);
    Parameter& logSwitch = document_.device().channelsNode.logSwitch;
    if (object.parameter() == &logSwitch) {
        if (column != 2) return true;
        const EditOutcome outcome =
            polling_->EditLogName(oldText.toStdString(), newText.toStdString());
        tree.SetCellText(row, 2, outcome.accepted ? Q(outcome.cellText) : oldText);
        if (outcome.pending) tree.SetRowColour(row, ColourOf(kRowPending), true);
        return true;
    }
    if (object.kind != RowObject::Kind::Poller) return false;
    if (newText == oldText) return true;
    if (column == 0) polling_->EditLabel(object.number, newText.toStdString());
    if (column == 1 && !polling_->EditPeriod(object.number, newText.toStdString())) {
        tree.SetCellText(row, 1, oldText);
    }
    return true;
}

void CZEP8TreeListView::MarkModified() {
    document_.SetModified(true);
}

void CZEP8TreeListView::OnStateIcon(Row row) {
    CTreeListCtrl& tree = GetTreeCtrl();
    const RowObject object = tree.GetRowObject(row);
    const int icon = tree.GetStateIcon(row);
    if (object.kind == RowObject::Kind::Poller) {
        const int now = polling_->TogglePollRow(object.number, icon);
        tree.SetStateIcon(row, now);
        // A stopped poll breaks its curve: a restart does not join across the pause.
        if (now == POLL_ICON_OFF) {
            emit pollSample(object.number, tree.GetCellText(row, 0), QDateTime::currentDateTime(),
                            std::nullopt, QString());
        }
    } else if (object.parameter() == &document_.device().channelsNode.logSwitch) {
        const int now = polling_->ToggleLoggingRow(icon);
        tree.SetStateIcon(row, now);
        if (now == POLL_ICON_ON) emit logStarted(Q(polling_->LogPath()));
    }
}

void CZEP8TreeListView::OnPollResult(const PollResult& result) {
    const std::optional<PollRowUpdate> update = polling_->Receive(result);
    if (!update) return;
    CTreeListCtrl& tree = GetTreeCtrl();

    if (const Row row = tree.FindRow(nullptr, Q(update->label), RowObject::poller(update->input))) {
        // Only what changed is drawn again: results come many times a second.
        tree.SetCellText(row, 2, Q(update->valueText));
        tree.SetCellText(row, 4, Q(update->errorText));
        const QColor colour = ColourOf(update->colour);
        tree.SetRowColour(row, colour, false);
    }
    const PollTime& t = result.start;
    const QDateTime time(QDate(t.year, t.month, t.day),
                         QTime(t.hour, t.minute, t.second, t.milliseconds));
    // The polls stood aside meanwhile: the curve does not join across the gap.
    if (result.afterPause) {
        emit pollSample(update->input, Q(update->label), time.addMSecs(-1), std::nullopt,
                        QString());
    }
    emit pollSample(update->input, Q(update->label), time, update->number, Q(update->noNumberWhy));
}

void CZEP8TreeListView::OnContextMenu(Row row, QPoint globalPos) {
    if (processState().hasOption(OPT_NO_DEVICE)) return;
    if (!row || !GetTreeCtrl().GetRowObject(row).parameter()) return;
    QMenu menu(this);
    // While a group read runs, its values are not to be crossed by another exchange.
    const bool free = !jobs_.busy();
    menu.addAction(QStringLiteral("Прочитать параметр"), this,
                   &CZEP8TreeListView::ReadSelectedParameter)
        ->setEnabled(free);
    menu.addAction(QStringLiteral("Записать параметр"), this,
                   &CZEP8TreeListView::WriteSelectedParameter)
        ->setEnabled(free);
    menu.addAction(QStringLiteral("Установить значение в \"Нет данных\""), this,
                   &CZEP8TreeListView::ForgetSelectedValue);
    menu.exec(globalPos);
}

Parameter* CZEP8TreeListView::SelectedParameter(bool tellWhenNone) {
    const Row row = GetTreeCtrl().currentItem();
    if (!row) {
        if (tellWhenNone) {
            prompter_.notify("Ничего не выбрано!", "Операция невозможна", Icon::Warning);
        }
        return nullptr;
    }
    return GetTreeCtrl().GetRowObject(row).parameter();
}

void CZEP8TreeListView::ReadSelectedParameter() {
    if (jobs_.busy()) return;
    if (Parameter* p = SelectedParameter(true)) {
        document_.device().ReadOne(*p);
    }
}

void CZEP8TreeListView::WriteSelectedParameter() {
    if (jobs_.busy()) return;
    if (Parameter* p = SelectedParameter(true)) {
        document_.device().WriteOne(*p);
    }
}

void CZEP8TreeListView::ForgetSelectedValue() {
    if (Parameter* p = SelectedParameter(true)) {
        editor_.ForgetValue(*p);
    }
}

}  // namespace zep8
