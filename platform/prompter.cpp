#include "platform/prompter.h"

#include <cstdio>

namespace tovanix {

PromptAnswer StderrPrompter::ask(const std::string& text, const std::string& caption, PromptIcon,
                                 PromptButtons buttons) {
    std::fprintf(stderr, "[%s] %s\n", caption.c_str(), text.c_str());
    return buttons == PromptButtons::YesNo ? PromptAnswer::Yes : PromptAnswer::Ok;
}

}  // namespace tovanix
