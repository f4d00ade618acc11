// The program's skin: one call before the first window, after which every
// window the program creates wears the station's style sheet and font.
#pragma once

#include <QString>
#include <QStringList>

namespace tovanix::widgets {

// Applies the style sheet and the interface font to the running
// QApplication. Returns 1, or 0 when there is no application yet; the
// start-up ignores the result.
int SkinH_Attach();

// The style sheet itself.
const char* skinStyleSheet();

// The family the interface is drawn in: the first installed sans-serif face
// of kInterfaceFamilies that covers Simplified Chinese, so that Chinese and
// Latin text share one design; without any, the system's general font (and
// fontconfig's per-glyph fallback). Needs a QGuiApplication.
QString interfaceFontFamily();

// Best first. Debian's fonts-noto-cjk brings the first.
inline constexpr const char* kInterfaceFamilies[] = {"Noto Sans CJK SC", "Source Han Sans SC", "WenQuanYi Micro Hei",
                                                     "WenQuanYi Zen Hei"};

// The choice itself, from the installed families that cover Simplified
// Chinese and the general font's family.
QString chooseInterfaceFamily(const QStringList& chineseFamilies, const QString& generalFamily);

}  // namespace tovanix::widgets
