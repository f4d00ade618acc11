#include "config/line_form.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include "config/add_line.h"

namespace tovanix::config {

namespace {
QLineEdit* disabledField(QGridLayout* g, QWidget* parent, int row, const char* label, const QString& value) {
    auto* l = new QLabel(QString::fromUtf8(label), parent);
    auto* e = new QLineEdit(value, parent);
    e->setEnabled(false);
    e->setAccessibleName(l->text());
    l->setBuddy(e);
    g->addWidget(l, row, 0);
    g->addWidget(e, row, 1);
    return e;
}

QRadioButton* radio(QWidget* parent, const char* caption) {
    auto* r = new QRadioButton(QString::fromUtf8(caption), parent);
    r->setAccessibleName(r->text());
    return r;
}
}  // namespace

LineForm buildLineForm(QWidget* parent, int firstRow) {
    LineForm f;
    f.layout = new QGridLayout;
    int row = firstRow;
    f.tcp = radio(parent, "TCP/IP");
    f.com = radio(parent, "COM串口");
    auto* kind = new QButtonGroup(parent);
    kind->addButton(f.tcp);
    kind->addButton(f.com);
    f.com->setChecked(true);
    f.tcp->setEnabled(false);  // every line made here is a serial line
    f.layout->addWidget(f.tcp, row, 0);
    f.layout->addWidget(f.com, row++, 1);
    f.tcpPort = disabledField(f.layout, parent, row++, "端口", QString::number(kDefaultTcpPort));
    f.hub = disabledField(f.layout, parent, row++, "集线器地址", QString::fromUtf8(kDefaultHubAddress));
    f.scan = disabledField(f.layout, parent, row++, "扫描时间", QString::number(kDefaultScanSeconds));
    f.scanUpper = disabledField(f.layout, parent, row++, "扫描上限", QString::number(kDefaultScanUpperSeconds));
    auto* portLabel = new QLabel(QStringLiteral("串口"), parent);
    f.ports = new QComboBox(parent);
    f.ports->setAccessibleName(portLabel->text());
    portLabel->setBuddy(f.ports);
    f.layout->addWidget(portLabel, row, 0);
    f.layout->addWidget(f.ports, row++, 1);
    f.wireless = radio(parent, "无线");
    f.wired = radio(parent, "有线");
    auto* wiring = new QButtonGroup(parent);
    wiring->addButton(f.wireless);
    wiring->addButton(f.wired);
    f.wired->setChecked(true);
    f.layout->addWidget(f.wireless, row, 0);
    f.layout->addWidget(f.wired, row++, 1);
    return f;
}

void fillPorts(QComboBox* combo) {
    combo->clear();
    for (const auto& name : serialPortChoices()) combo->addItem(QString::fromStdString(name));
    combo->setCurrentIndex(0);
}

}  // namespace tovanix::config
