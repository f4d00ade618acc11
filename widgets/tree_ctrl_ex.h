// The device tree: a tree whose single nodes may carry their own text colour
// and font, and whose labels are edited in place with the edit announced
// before and after, so the owner can rename what the node stands for.
#pragma once

#include <QColor>
#include <QFont>
#include <QMetaType>
#include <QString>
#include <QTreeWidget>

#include <cstdint>

namespace tovanix::widgets {

// Colour values keep red in the lowest byte, then green, then blue.
inline constexpr std::int32_t kSystemTextColour = -1;
constexpr std::int32_t rgb(int r, int g, int b) {
    return r | (g << 8) | (b << 16);
}
QColor toQColor(std::int32_t value);

struct NodeFont {
    QString face;       // empty: the tree's own font
    int pointSize = 0;  // 0: the tree's size
    int weight = 400;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
};

struct NodeStyle {
    std::int32_t colour = kSystemTextColour;
    NodeFont font;
};

inline constexpr int kMaxLabelLength = 120;  // the name columns hold 120 characters

class CTreeCtrlEx : public QTreeWidget {
    Q_OBJECT
public:
    explicit CTreeCtrlEx(QWidget* parent = nullptr);

    // Creates the node's style record when it has none.
    void setNodeColour(QTreeWidgetItem* item, std::int32_t colour);
    void setNodeFont(QTreeWidgetItem* item, const NodeFont& font);
    void setNodeBold(QTreeWidgetItem* item, bool bold);
    bool hasNodeStyle(const QTreeWidgetItem* item) const;
    NodeStyle nodeStyle(const QTreeWidgetItem* item) const;

    // How a node is painted now: with its own style unless it is selected
    // while the tree has the focus (then the normal highlight).
    bool paintsOwnStyle(const QTreeWidgetItem* item) const;
    QColor textColourFor(const QTreeWidgetItem* item) const;
    QFont fontFor(const QTreeWidgetItem* item) const;

    void setItemData(QTreeWidgetItem* item, unsigned data);
    static unsigned itemData(const QTreeWidgetItem* item);

signals:
    void beginLabelEdit(QTreeWidgetItem* item);
    // The text the operator confirmed; not emitted when the edit is cancelled.
    void endLabelEdit(QTreeWidgetItem* item, const QString& text);

private:
    friend class NodeDelegate;
};

}  // namespace tovanix::widgets

Q_DECLARE_METATYPE(tovanix::widgets::NodeStyle)
