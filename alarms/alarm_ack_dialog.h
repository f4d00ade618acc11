// CAlarmAck, "报警信息确认": the open alarm readings of one device and the
// button that acknowledges all of them; CAddSolution asks for the note.
#pragma once

#include <QDialog>

#include <optional>
#include <string>

#include "alarms/alarm_ack.h"

class QLineEdit;
class QPushButton;
class QTableView;

namespace tovanix {
class Prompter;
}

namespace tovanix::alarms {

class OpenAlarmModel;

// "请输入处理方法": one line, kept between openings (the edit shows the
// previous note).
class CAddSolution : public QDialog {
    Q_OBJECT
public:
    explicit CAddSolution(QWidget* parent = nullptr);
    QLineEdit* noteEdit() const { return edit_; }
    // Runs modally; nothing when cancelled.
    std::optional<std::string> askNote();

private:
    QLineEdit* edit_;
};

class CAlarmAck : public QDialog {
    Q_OBJECT
public:
    CAlarmAck(Prompter& prompter, AckStation& station, QWidget* parent = nullptr);
    ~CAlarmAck() override;

    // Set by the opener before exec().
    void setDevice(int lineid, int address, std::string user);
    // Fills the list; exec() calls it.
    void reload();
    int exec() override;

    // Whether the last acknowledgement reached the database.
    bool acknowledged() const { return acknowledged_; }
    QTableView* list() const { return list_; }
    QPushButton* acknowledgeButton() const { return ack_; }
    CAddSolution& noteDialog() { return note_; }

    // Replaces the note dialog (tests answer without a window).
    void setNoteAsker(std::function<std::optional<std::string>()> ask) { askNote_ = std::move(ask); }

    void acknowledgeAll();

private:
    Prompter& prompter_;
    AckStation& station_;
    int lineid_ = 0;
    int address_ = 0;
    std::string user_;
    bool acknowledged_ = false;
    OpenAlarmModel* model_;
    QTableView* list_;
    QPushButton* ack_;
    QPushButton* sirenOff_;
    CAddSolution note_;
    std::function<std::optional<std::string>()> askNote_;
};

}  // namespace tovanix::alarms
