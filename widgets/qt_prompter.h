// Message boxes of the station on the screen: the prompter with QMessageBox.
#pragma once

#include "platform/prompter.h"

class QWidget;

namespace tovanix::widgets {

class QtPrompter : public Prompter {
public:
    explicit QtPrompter(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }
    PromptAnswer ask(const std::string& text, const std::string& caption, PromptIcon icon,
                     PromptButtons buttons) override;

private:
    QWidget* parent_;
};

}  // namespace tovanix::widgets
