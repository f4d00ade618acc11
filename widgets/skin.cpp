#include "widgets/skin.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>

namespace tovanix::widgets {

const char* skinStyleSheet() {
    return R"(
QMainWindow, QDialog { background: #e9eef5; }
QStatusBar { background: #d5dde8; border-top: 1px solid #9fb0c6; }
QStatusBar QLabel { padding: 0 6px; }
QMenuBar { background: #dbe3ee; }
QMenuBar::item:selected, QMenu::item:selected { background: #3a6ea5; color: white; }
QMenu { background: #f7f9fc; border: 1px solid #8da2bd; }
QPushButton {
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #fdfefe, stop:1 #d3deeb);
    border: 1px solid #7f97b5; border-radius: 3px; padding: 3px 10px; min-height: 18px;
}
QPushButton:hover { border-color: #3a6ea5; }
QPushButton:pressed { background: #c2d1e4; }
QPushButton:disabled { color: #8a94a2; }
QLineEdit, QComboBox {
    background: white; border: 1px solid #8da2bd; border-radius: 2px; padding: 2px 4px;
}
QLineEdit:focus, QComboBox:focus { border-color: #3a6ea5; }
/* The popup draws its rows as menu items of the combo box: without rules of
   their own the current row took the box's white background under the white
   text of a selection, and read as a blank row. */
QComboBox QAbstractItemView {
    background: white; border: 1px solid #8da2bd;
    selection-background-color: #3a6ea5; selection-color: white;
}
QComboBox::item { color: black; }
QComboBox::item:selected { background: #3a6ea5; color: white; }
QTreeWidget { background: white; border: 1px solid #9fb0c6; }
QTreeWidget::item:selected:active { background: #3a6ea5; color: white; }
QStackedWidget#pages { background: #f4f6f9; border: 1px solid #9fb0c6; }
)";
}

QString chooseInterfaceFamily(const QStringList& chineseFamilies, const QString& generalFamily) {
    for (const char* name : kInterfaceFamilies) {
        if (chineseFamilies.contains(QString::fromUtf8(name))) return QString::fromUtf8(name);
    }
    return generalFamily;
}

QString interfaceFontFamily() {
    // The installed fonts do not change while the program runs.
    static const QString family = chooseInterfaceFamily(QFontDatabase::families(QFontDatabase::SimplifiedChinese),
                                                        QFontDatabase::systemFont(QFontDatabase::GeneralFont).family());
    return family;
}

int SkinH_Attach() {
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (app == nullptr) return 0;
    // The size stays the desktop's.
    QFont font = QApplication::font();
    font.setFamilies({interfaceFontFamily()});
    QApplication::setFont(font);
    app->setStyleSheet(QString::fromUtf8(skinStyleSheet()));
    return 1;
}

}  // namespace tovanix::widgets
