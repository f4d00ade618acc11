// The 确定 / 取消 row a settings dialog ends with.
#pragma once

class QDialog;
class QHBoxLayout;

namespace tovanix::widgets {

// Right-aligned, 确定 the default button; both carry their captions as
// accessible names and close the dialog through accept() and reject().
QHBoxLayout* okCancelRow(QDialog* dialog);

}  // namespace tovanix::widgets
