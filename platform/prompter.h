// Every message box of the station goes through this interface, so dialog
// logic runs without a display: the window supplies a Qt implementation,
// tests a recorder, the headless runner one that writes to standard error.
#pragma once

#include <string>

namespace tovanix {

// The captions of the station's message boxes.
inline constexpr const char* kCaptionInfo = "提示";
inline constexpr const char* kCaptionConfirm = "注意！";         // confirming a deletion
inline constexpr const char* kCaptionWarning = "警告";           // exit
inline constexpr const char* kCaptionDanger = "警告！";          // deleting the database
inline constexpr const char* kCaptionDatabaseLogin = "数据库连接错误";
inline constexpr const char* kCaptionApplication = "Tovanix";    // messages captioned with the program's name
// The two buttons every dialog and message box names alike.
inline constexpr const char* kButtonOk = "确定";
inline constexpr const char* kButtonCancel = "取消";

enum class PromptIcon { None, Information, Warning, Question, Error };
enum class PromptButtons { Ok, OkCancel, YesNo };
enum class PromptAnswer { Ok, Cancel, Yes, No };

class Prompter {
public:
    virtual ~Prompter() = default;
    virtual PromptAnswer ask(const std::string& text, const std::string& caption, PromptIcon icon,
                             PromptButtons buttons) = 0;
    // A message with only an OK button.
    void inform(const std::string& text, const std::string& caption, PromptIcon icon = PromptIcon::Information) {
        ask(text, caption, icon, PromptButtons::Ok);
    }
};

// Writes each message to standard error and answers OK (or Yes).
class StderrPrompter : public Prompter {
public:
    PromptAnswer ask(const std::string& text, const std::string& caption, PromptIcon icon,
                     PromptButtons buttons) override;
};

}  // namespace tovanix
