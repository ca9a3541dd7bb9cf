#include "ui/tree/tree_list_view.h"

#include <QFontMetrics>
#include <QVBoxLayout>

#include "ui/tree/tree_icons.h"

namespace zep8 {

CNewTreeListCtrlView::CNewTreeListCtrlView(QWidget* parent)
    : CNewTreeListCtrlView(nullptr, parent) {}

CNewTreeListCtrlView::CNewTreeListCtrlView(CTreeListCtrl* control, QWidget* parent)
    : QWidget(parent), m_tree(control ? control : new CTreeListCtrl) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_tree);
    m_tree->SetGridLines(true, QColor(200, 200, 200));
    m_tree->SetImageList(&TreeIcon);
    setFocusProxy(m_tree);

    m_measureFont = font();
    m_measureFont.setPixelSize(16);
    m_measureFont.setWeight(QFont::Normal);
}

int CNewTreeListCtrlView::TextWidth(const QString& text) const {
    return QFontMetrics(m_measureFont).horizontalAdvance(text);
}

}  // namespace zep8
