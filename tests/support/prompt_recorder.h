// A prompter that records every message and answers from a script.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/prompter.h"

namespace tovanix::test {

struct Prompt {
    std::string text;
    std::string caption;
    PromptIcon icon;
    PromptButtons buttons;
};

class PromptRecorder : public Prompter {
public:
    // Answers given in order; when they run out, OK (or Yes).
    std::deque<PromptAnswer> answers;
    std::vector<Prompt> prompts;
    // Called with each message as it is shown (what the operator sees then).
    std::function<void(const Prompt&)> onAsk;

    PromptAnswer ask(const std::string& text, const std::string& caption, PromptIcon icon,
                     PromptButtons buttons) override {
        prompts.push_back({text, caption, icon, buttons});
        if (onAsk) onAsk(prompts.back());
        if (!answers.empty()) {
            PromptAnswer a = answers.front();
            answers.pop_front();
            return a;
        }
        return buttons == PromptButtons::YesNo ? PromptAnswer::Yes : PromptAnswer::Ok;
    }
    std::vector<std::string> texts() const {
        std::vector<std::string> out;
        for (const auto& p : prompts) out.push_back(p.text);
        return out;
    }
};

}  // namespace tovanix::test
