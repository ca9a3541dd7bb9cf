// The configuration's rows as an item model, checked by Qt's own model tester
// through the changes a session brings: a read of everything, an edit, a
// rebuilt document and a running poll. What the operator looks at (the row
// picked, the groups open, the scroll position) stays through a refresh.
#include <QAbstractItemModelTester>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <filesystem>

#include "ui/window_run.h"
#include "ui/ui_test_main.h"

namespace zep8 {
namespace {

namespace fs = std::filesystem;
using testing::Row;
using testing::WindowRun;

class TreeModelTest : public QObject {
    Q_OBJECT

  private slots:
    void rowsFollowTheDocumentAndKeepTheOperatorsPlace();
};

void TreeModelTest::rowsFollowTheDocumentAndKeepTheOperatorsPlace() {
    WindowRun w;
    QVERIFY(w.Start({"--simulate", "/autoread:off"}));
    CTreeListCtrl& tree = w.tree();
    CTreeListModel& model = tree.model();
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    Device& device = w.document().device();
    w.frame().showNormal();
    w.frame().resize(700, 300);
    QTest::qWait(20);

    // The operator's place: input 3 open, its filter picked, scrolled down.
    Parameter& filter = *device.channelsNode.channel(2).FindParameter("in.Fd");
    for (Row up = w.RowOf(&filter)->parent(); up; up = up->parent()) tree.expandItem(up);
    tree.setCurrentItem(w.RowOf(&filter));
    tree.scrollToItem(w.RowOf(&filter), QAbstractItemView::PositionAtTop);
    const int scrolled = tree.verticalScrollBar()->value();
    QVERIFY(scrolled > 0);

    w.frame().RunCommand(ID_READ_ALL);
    QCOMPARE(w.Cell(filter, 2).toStdString(), filter.value);
    QCOMPARE(resets.count(), 0);
    QCOMPARE(tree.currentItem(), w.RowOf(&filter));
    QVERIFY(tree.isItemExpanded(w.RowOf(&device.channelsNode.channel(2))));
    QCOMPARE(tree.verticalScrollBar()->value(), scrolled);

    // A refresh that finds nothing new tells the view nothing.
    changed.clear();
    device.changes.Notify(ChangeNotice::AllValues());
    QCOMPARE(changed.count(), 0);

    // An edit changes its own row only.
    w.Type(filter, "15");
    QCOMPARE(w.Cell(filter, 2), QStringLiteral("15"));
    for (const QList<QVariant>& signal : changed) {
        QCOMPARE(model.RowAt(signal.at(0).value<QModelIndex>()), w.RowOf(&filter));
    }

    // A poll's values reach its row while the tester watches.
    Row polls = w.frame().view().pollGroup();
    for (Row up = polls; up; up = up->parent()) tree.expandItem(up);
    w.module().setValue("in-t", 0, 6);
    Row first = polls->child(2);
    QCOMPARE(tree.GetRowObject(first), RowObject::poller(0));
    emit tree.stateIconClicked(first);
    QTRY_VERIFY(!tree.GetCellText(first, 2).isEmpty());
    emit tree.stateIconClicked(first);

    // A file opened makes the rows anew, and rows for the new parameters.
    const fs::path file = fs::temp_directory_path() / "zep8-tree-model.zep";
    QVERIFY(!w.document().SaveDocument(file.string()));
    QVERIFY(w.frame().OpenFile(QString::fromStdString(file.string())));
    QCOMPARE(resets.count(), 1);
    Parameter& reopened = *device.channelsNode.channel(2).FindParameter("in.Fd");
    QCOMPARE(w.Cell(reopened, 2), QStringLiteral("15"));
    fs::remove(file);
}

}  // namespace
}  // namespace zep8

ZEP8_UI_TEST(TreeModelTest, "tree_model_test");
#include "tree_model_test.moc"
