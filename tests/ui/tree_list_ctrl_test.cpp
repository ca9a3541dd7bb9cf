// The tree-list control with real parameters: in-place edits from double
// click to the owner's notification, row drawing, check boxes, tips.

#include <QComboBox>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QToolTip>

#include "model/parameter.h"
#include "ui/tree/tree_list_ctrl.h"
#include "ui/tree/tree_list_view.h"
#include "ui/ui_test_main.h"

namespace zep8 {
namespace {

using Row = CTreeListCtrl::Row;

const QColor kRed(200, 0, 0);

QString Utf8(const std::string& text) {
    return QString::fromStdString(text);
}

void AddColumns(CTreeListCtrl& tree, int width) {
    const int unit = (width - 15) / 10;
    tree.InsertColumn(0, "Описание", CTreeListCtrl::ALIGN_LEFT, unit * 3);
    tree.InsertColumn(1, "Имя параметра", CTreeListCtrl::ALIGN_RIGHT, unit);
    tree.InsertColumn(2, "Значение", CTreeListCtrl::ALIGN_RIGHT, unit * 3 / 2);
    tree.InsertColumn(3, "Атрибут редактирования", CTreeListCtrl::ALIGN_RIGHT, unit * 11 / 10);
    tree.InsertColumn(4, "Ошибки ввода-вывода", CTreeListCtrl::ALIGN_RIGHT, unit * 34 / 10);
}

// A parameter row as the configuration shows it.
Row AddParameter(CTreeListCtrl& tree, Row group, Parameter& p, bool text, bool choice) {
    const int image = !p.writable ? 30 : choice ? 27 : 28;
    Row row = tree.InsertRow(Utf8(p.title), image, image, text, choice, group);
    tree.SetRowObject(row, RowObject::of(&p));
    tree.SetCellText(row, 1, Utf8(p.name));
    tree.SetCellText(row, 2, Utf8(p.value));
    if (p.hasAttributes)
        tree.SetCellText(row, 3, p.attrEditable ? "Редактируемый" : "Не редактируемый");
    tree.SetCellText(row, 4, Utf8(p.errorText));
    return row;
}

QPoint CellCentre(CTreeListCtrl& tree, Row row, int column) {
    const int left = tree.header()->sectionViewportPosition(column);
    return {left + tree.header()->sectionSize(column) / 2, tree.visualItemRect(row).center().y()};
}

// As the mouse sends it: the first click, then the double click.
void DoubleClick(CTreeListCtrl& tree, Row row, int column) {
    const QPoint at = CellCentre(tree, row, column);
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(tree.viewport(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(tree.viewport(), Qt::LeftButton, {}, at);
}

QStringList Items(const QComboBox& combo) {
    QStringList items;
    for (int i = 0; i < combo.count(); ++i) items << combo.itemText(i);
    return items;
}

QWidget* ToolTipLabel() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->objectName() == "qtooltip_label" && widget->isVisible()) return widget;
    return nullptr;
}

}  // namespace

class TreeListCtrlTest : public QObject {
    Q_OBJECT

  private slots:
    void editsEndInTheCellAndReachTheOwner();
    void rowsLookAndClicks();
};

void TreeListCtrlTest::editsEndInTheCellAndReachTheOwner() {
    CNewTreeListCtrlView view;
    view.resize(900, 400);
    CTreeListCtrl& tree = view.GetTreeCtrl();
    AddColumns(tree, 900);

    Parameter parity("PrtY");
    parity.value = "Отсутствует";
    Parameter filter("in.Fd");
    filter.value = "0";
    Parameter port("Port");  // chosen from a list, without access attributes
    port.value = "ttyS0";
    Parameter faulty("Addr");
    faulty.value = "Нет данных";
    faulty.errorText = "Прибор не отвечает";
    QVERIFY(parity.hasAttributes && !port.hasAttributes);

    Row root = tree.InsertRow("Конфигурация ZEP8 (Имя не задано)", 25, 25, false, false);
    Row group = tree.InsertRow("Сетевые параметры", 5, 6, false, false, root);
    Row parityRow = AddParameter(tree, group, parity, false, true);
    Row filterRow = AddParameter(tree, group, filter, true, false);
    Row portRow = AddParameter(tree, group, port, false, true);
    Row faultyRow = AddParameter(tree, group, faulty, true, false);
    tree.SetRowColour(faultyRow, kRed, true);
    tree.SetRowDisabled(faultyRow, true, true, false);
    tree.expandAll();
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));

    // The owner, as the configuration's view: it sees the new text already in
    // the cell and puts the old one back for a value that is not a number.
    QSignalSpy ended(&tree, &CTreeListCtrl::editEnded);
    bool newTextInCell = true;
    connect(&tree, &CTreeListCtrl::editEnded,
            [&](Row row, int column, const QString& oldText, const QString& newText) {
                newTextInCell = newTextInCell && tree.GetCellText(row, column) == newText;
                bool number = false;
                newText.toDouble(&number);
                if (row == filterRow && column == 2 && !number)
                    tree.SetCellText(row, column, oldText);
            });

    // Enumeration value: a combo box with each text once, the current one chosen.
    DoubleClick(tree, parityRow, 2);
    auto* combo = qobject_cast<QComboBox*>(tree.OpenEditor());
    QVERIFY(combo);
    QCOMPARE(Items(*combo), QStringList({"Отсутствует", "Четность", "Нечетность"}));
    QCOMPARE(combo->currentText(), "Отсутствует");
    QTest::keyClick(combo, Qt::Key_Down);
    QTest::keyClick(combo, Qt::Key_Tab);
    QCOMPARE(ended.count(), 1);
    QCOMPARE(ended[0], QVariantList({QVariant::fromValue<Row>(parityRow), 2, "Отсутствует",
                                     "Четность", -101}));
    QCOMPARE(tree.GetCellText(parityRow, 2), "Четность");
    QVERIFY(!tree.OpenEditor());

    // The access attribute offers the other state.
    DoubleClick(tree, parityRow, 3);
    combo = qobject_cast<QComboBox*>(tree.OpenEditor());
    QVERIFY(combo);
    QVERIFY(Items(*combo).contains("Не редактируемый"));
    QCOMPARE(combo->currentText(), "Редактируемый");
    QTest::keyClick(combo, Qt::Key_Escape);
    QCOMPARE(tree.GetCellText(parityRow, 3), "Редактируемый");
    QVERIFY(!tree.OpenEditor());

    // Number: the edit box widens with what is typed, up to the tree's edge.
    DoubleClick(tree, filterRow, 2);
    auto* box = qobject_cast<QLineEdit*>(tree.OpenEditor());
    QVERIFY(box);
    QCOMPARE(box->text(), "0");
    const int cellWidth = box->width();
    const QString digits = "1234567890123456789012345";
    QTest::keyClicks(box, digits);
    QVERIFY(box->width() > cellWidth);
    QVERIFY(box->width() >= box->fontMetrics().horizontalAdvance(digits) + 5);
    QVERIFY(box->geometry().right() < tree.viewport()->width());
    ended.clear();
    QTest::keyClick(box, Qt::Key_Return);
    QTRY_COMPARE(ended.count(), 1);
    QCOMPARE(ended[0].at(3).toString(), digits);
    QCOMPARE(ended[0].at(4).toInt(), -106);
    QCOMPARE(tree.GetCellText(filterRow, 2), digits);

    // Escape keeps the cell as it was; a refused text goes back. F2 opens the
    // current row's value as the double click does.
    QCOMPARE(tree.currentItem(), filterRow);
    QTest::keyClick(&tree, Qt::Key_F2);
    box = qobject_cast<QLineEdit*>(tree.OpenEditor());
    QVERIFY(box);
    QTest::keyClicks(box, "7");
    QTest::keyClick(box, Qt::Key_Escape);
    QTRY_VERIFY(!tree.OpenEditor());
    QCOMPARE(tree.GetCellText(filterRow, 2), digits);
    DoubleClick(tree, filterRow, 2);
    QTest::keyClicks(tree.OpenEditor(), "abc");
    QTest::keyClick(tree.OpenEditor(), Qt::Key_Enter);
    QTRY_VERIFY(!tree.OpenEditor());
    QCOMPARE(tree.GetCellText(filterRow, 2), digits);
    QVERIFY(newTextInCell);

    // Scrolling sideways ends an open edit, keeping its text.
    DoubleClick(tree, filterRow, 2);
    QTest::keyClicks(tree.OpenEditor(), "42");
    tree.header()->resizeSection(4, 2000);
    QTRY_VERIFY(tree.horizontalScrollBar()->maximum() > 30);
    QVERIFY(tree.OpenEditor());
    tree.horizontalScrollBar()->setValue(30);
    QVERIFY(!tree.OpenEditor());
    QCOMPARE(tree.GetCellText(filterRow, 2), "42");
    tree.horizontalScrollBar()->setValue(0);

    // Nothing opens where nothing may be edited.
    ended.clear();
    DoubleClick(tree, portRow, 3);  // no access attributes
    DoubleClick(tree, filterRow, 1);
    DoubleClick(tree, faultyRow, 2);
    DoubleClick(tree, group, 0);
    QVERIFY(!tree.OpenEditor());
    QCOMPARE(ended.count(), 0);
    QVERIFY(!tree.isItemExpanded(group));  // the double click on the tree column closed it

    // A row removed while edited takes its editor along, and editing goes on.
    tree.expandItem(group);
    DoubleClick(tree, filterRow, 2);
    QVERIFY(tree.OpenEditor());
    tree.RemoveRow(filterRow);
    QTRY_VERIFY(!tree.OpenEditor());
    DoubleClick(tree, parityRow, 2);
    QVERIFY(tree.OpenEditor());
    tree.EndEdit(false);
    QCOMPARE(ended.count(), 1);  // only the cancelled one, with its text unchanged
    QCOMPARE(ended[0].at(2), ended[0].at(3));
}

void TreeListCtrlTest::rowsLookAndClicks() {
    CNewTreeListCtrlView view;
    view.resize(700, 300);
    CTreeListCtrl& tree = view.GetTreeCtrl();
    AddColumns(tree, 700);
    tree.header()->resizeSection(4, 80);

    Row group = tree.InsertRow("Опрос входов", 5, 6, false, false);
    Row logging = tree.InsertRow("Сохранять протокол в файл", 42, 42, true, false, group);
    Row caption = tree.InsertRow("     Имя параметра", 43, 43, false, false, group);
    tree.SetRowCaption(caption, true);
    Row polls[2];
    for (int input = 0; input < 2; ++input) {
        polls[input] = tree.InsertRow("Нет данных", 17, 17, false, false, group);
        tree.SetRowObject(polls[input], RowObject::poller(input));
        tree.SetStateIcon(polls[input], CTreeListCtrl::STATE_OFF);
    }
    tree.SetStateIcon(logging, CTreeListCtrl::STATE_ON);
    tree.SetCellText(polls[1], 4, "Нет ответа от прибора: проверьте линию связи");
    tree.SetRowColour(polls[1], kRed, false);
    tree.SetRowDisabled(group, true, true, true);
    tree.expandAll();
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));

    // Grey when disabled, but an error stays red; captions are bold.
    const QColor grey = tree.palette().color(QPalette::Disabled, QPalette::Text);
    QCOMPARE(tree.CellStyle(logging, 2).palette.color(QPalette::Text), grey);
    QCOMPARE(tree.CellStyle(polls[1], 4).palette.color(QPalette::Text), kRed);
    QVERIFY(tree.CellStyle(caption, 1).font.bold());
    QVERIFY(!tree.CellStyle(logging, 0).icon.isNull());
    DoubleClick(tree, polls[0], 0);
    QVERIFY(!tree.OpenEditor());
    tree.SetRowDisabled(group, false, true, true);

    // A poll row is renamed in place; a caption row never is.
    DoubleClick(tree, polls[0], 0);
    QVERIFY(qobject_cast<QLineEdit*>(tree.OpenEditor()));
    tree.EndEdit(false);
    DoubleClick(tree, caption, 1);
    QVERIFY(!tree.OpenEditor());

    // A click on a check box is only reported, after the click, and selects the row.
    QSignalSpy clicked(&tree, &CTreeListCtrl::stateIconClicked);
    const QRect box = tree.StateIconRect(polls[0]);
    QVERIFY(box.isValid());
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, box.center());
    QCOMPARE(clicked.count(), 0);
    QTRY_COMPARE(clicked.count(), 1);
    QCOMPARE(clicked[0].at(0).value<Row>(), polls[0]);
    QCOMPARE(tree.GetStateIcon(polls[0]), int(CTreeListCtrl::STATE_OFF));
    QCOMPARE(tree.currentItem(), polls[0]);
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, CellCentre(tree, polls[1], 2));
    QTest::qWait(10);
    QCOMPARE(clicked.count(), 1);
    QCOMPARE(tree.currentItem(), polls[1]);

    // The right button selects the row under it before the menu is asked for.
    QSignalSpy menu(&tree, &CTreeListCtrl::contextMenuWanted);
    const QPoint onLogging = CellCentre(tree, logging, 3);
    QTest::mousePress(tree.viewport(), Qt::RightButton, {}, onLogging);
    QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, onLogging,
                                tree.viewport()->mapToGlobal(onLogging));
    QApplication::sendEvent(tree.viewport(), &menuEvent);
    QTest::mouseRelease(tree.viewport(), Qt::RightButton, {}, onLogging);
    QCOMPARE(tree.currentItem(), logging);
    QCOMPARE(menu.count(), 1);
    QCOMPARE(menu[0].at(0).value<Row>(), logging);

    // Found again by object and label.
    QCOMPARE(tree.FindRow(nullptr, "Нет данных", RowObject::poller(1)), polls[1]);
    QCOMPARE(tree.FindRow(group, "Нет данных", RowObject::poller(0)), polls[0]);
    QCOMPARE(tree.FindRow(polls[0], "Нет данных", RowObject::poller(1)), nullptr);
    QCOMPARE(tree.FindRow(nullptr, "Вход №1", RowObject::poller(0)), nullptr);

    // A text wider than its column shows in full just under the row.
    const QPoint cell = CellCentre(tree, polls[1], 4);
    QHelpEvent help(QEvent::ToolTip, cell, tree.viewport()->mapToGlobal(cell));
    QApplication::sendEvent(tree.viewport(), &help);
    QTRY_VERIFY(QToolTip::isVisible());
    QCOMPARE(QToolTip::text(), tree.GetCellText(polls[1], 4));
    const QRect rowRect = tree.visualItemRect(polls[1]);
    QWidget* tip = ToolTipLabel();
    QVERIFY(tip);
    QCOMPARE(tip->y(), tree.viewport()->mapToGlobal(rowRect.bottomLeft()).y() + 1 + 3);
    const QPoint shortCell = CellCentre(tree, polls[1], 1);
    QHelpEvent shortHelp(QEvent::ToolTip, shortCell, tree.viewport()->mapToGlobal(shortCell));
    QApplication::sendEvent(tree.viewport(), &shortHelp);
    QTRY_VERIFY(!QToolTip::isVisible());

    // Header and rows scroll sideways only while the columns are wider than the view.
    QVERIFY(!tree.horizontalScrollBar()->isVisible());
    view.resize(400, 300);
    QTRY_VERIFY(tree.horizontalScrollBar()->isVisible());
}

}  // namespace zep8

ZEP8_UI_TEST(TreeListCtrlTest, "tree_list_ctrl_test");
#include "tree_list_ctrl_test.moc"
