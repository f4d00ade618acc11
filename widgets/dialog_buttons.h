// The button rows a settings dialog ends with.
#pragma once

class QDialog;
class QHBoxLayout;

namespace tovanix::widgets {

// Right-aligned, 确定 the default button; both carry their captions as
// accessible names and close the dialog through accept() and reject().
QHBoxLayout* okCancelRow(QDialog* dialog);

// The lone 确定 of a tabbed dialog whose pages save their own settings; it
// is no auto-default button, so Enter in a page's edit does not close the
// dialog.
QHBoxLayout* closeRow(QDialog* dialog);

}  // namespace tovanix::widgets
