#include "widgets/tree_ctrl_ex.h"

#include <QApplication>
#include <QLineEdit>
#include <QPalette>
#include <QStyledItemDelegate>

namespace tovanix::widgets {

namespace {

constexpr int kStyleRole = Qt::UserRole + 1;
constexpr int kDataRole = Qt::UserRole;
constexpr int kBoldWeight = 700;

}  // namespace

class NodeDelegate : public QStyledItemDelegate {
public:
    explicit NodeDelegate(CTreeCtrlEx* tree) : QStyledItemDelegate(tree), tree_(tree) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto* line = qobject_cast<QLineEdit*>(editor)) line->setMaxLength(kMaxLabelLength);
        emit tree_->beginLabelEdit(tree_->itemFromIndex(index));
        return editor;
    }

    // The owner decides what the node is called: the edit is announced, not
    // written into the node here.
    void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const override {
        auto* line = qobject_cast<QLineEdit*>(editor);
        if (line == nullptr) return;
        emit tree_->endLabelEdit(tree_->itemFromIndex(index), line->text());
    }

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        QTreeWidgetItem* item = tree_->itemFromIndex(index);
        if (item == nullptr || !tree_->paintsOwnStyle(item)) return;
        const QColor text = tree_->textColourFor(item);
        option->state &= ~QStyle::State_Selected;
        option->palette.setColor(QPalette::Text, text);
        option->palette.setColor(QPalette::WindowText, text);
        option->font = tree_->fontFor(item);
        option->backgroundBrush = tree_->palette().brush(QPalette::Base);
    }

private:
    CTreeCtrlEx* tree_;
};

QColor toQColor(std::int32_t value) {
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

CTreeCtrlEx::CTreeCtrlEx(QWidget* parent) : QTreeWidget(parent) {
    setItemDelegate(new NodeDelegate(this));
    setHeaderHidden(true);
    setColumnCount(1);
    setRootIsDecorated(true);
    setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
}

void CTreeCtrlEx::setNodeColour(QTreeWidgetItem* item, std::int32_t colour) {
    if (item == nullptr) return;
    NodeStyle s = nodeStyle(item);
    s.colour = colour;
    item->setData(0, kStyleRole, QVariant::fromValue(s));
}

void CTreeCtrlEx::setNodeFont(QTreeWidgetItem* item, const NodeFont& font) {
    if (item == nullptr) return;
    NodeStyle s = nodeStyle(item);
    s.font = font;
    item->setData(0, kStyleRole, QVariant::fromValue(s));
}

void CTreeCtrlEx::setNodeBold(QTreeWidgetItem* item, bool bold) {
    if (item == nullptr) return;
    QFont f = item->font(0);
    f.setBold(bold);
    item->setFont(0, f);
}

bool CTreeCtrlEx::hasNodeStyle(const QTreeWidgetItem* item) const {
    return item != nullptr && item->data(0, kStyleRole).canConvert<NodeStyle>() && item->data(0, kStyleRole).isValid();
}

NodeStyle CTreeCtrlEx::nodeStyle(const QTreeWidgetItem* item) const {
    if (!hasNodeStyle(item)) return {};
    return item->data(0, kStyleRole).value<NodeStyle>();
}

bool CTreeCtrlEx::paintsOwnStyle(const QTreeWidgetItem* item) const {
    if (!hasNodeStyle(item)) return false;
    return !(item->isSelected() && hasFocus());
}

QColor CTreeCtrlEx::textColourFor(const QTreeWidgetItem* item) const {
    if (!paintsOwnStyle(item)) {
        return palette().color(item != nullptr && item->isSelected() ? QPalette::HighlightedText : QPalette::Text);
    }
    const NodeStyle s = nodeStyle(item);
    return s.colour == kSystemTextColour ? palette().color(QPalette::Text) : toQColor(s.colour);
}

QFont CTreeCtrlEx::fontFor(const QTreeWidgetItem* item) const {
    QFont f = font();
    if (item == nullptr) return f;
    const NodeStyle s = nodeStyle(item);
    if (!s.font.face.isEmpty()) {
        f.setFamily(s.font.face);
        if (s.font.pointSize > 0) f.setPointSize(s.font.pointSize);
        f.setWeight(static_cast<QFont::Weight>(s.font.weight));
        f.setItalic(s.font.italic);
        f.setUnderline(s.font.underline);
        f.setStrikeOut(s.font.strikeOut);
    }
    if (item->font(0).bold()) f.setWeight(static_cast<QFont::Weight>(kBoldWeight));
    return f;
}

void CTreeCtrlEx::setItemData(QTreeWidgetItem* item, unsigned data) {
    if (item != nullptr) item->setData(0, kDataRole, QVariant::fromValue(data));
}

unsigned CTreeCtrlEx::itemData(const QTreeWidgetItem* item) {
    return item == nullptr ? 0u : item->data(0, kDataRole).toUInt();
}

}  // namespace tovanix::widgets
