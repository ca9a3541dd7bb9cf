#pragma once

#include <QFont>
#include <QWidget>

#include "ui/tree/tree_list_ctrl.h"

namespace zep8 {

// The frame of a tree-list: the control filling the view, grid lines on and
// the tree's images set. The configuration's view builds on it.
class CNewTreeListCtrlView : public QWidget {
    Q_OBJECT

  public:
    explicit CNewTreeListCtrlView(QWidget* parent = nullptr);
    // Shows a control of a derived class; the view takes it over.
    explicit CNewTreeListCtrlView(CTreeListCtrl* control, QWidget* parent = nullptr);

    CTreeListCtrl& GetTreeCtrl() const { return *m_tree; }
    // Column widths are reckoned in this 16-pixel, normal-weight font.
    const QFont& MeasureFont() const { return m_measureFont; }
    int TextWidth(const QString& text) const;

  private:
    CTreeListCtrl* m_tree;
    QFont m_measureFont;
};

}  // namespace zep8
