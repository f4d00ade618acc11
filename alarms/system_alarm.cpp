#include "alarms/system_alarm.h"

#include "platform/encoding.h"
#include "platform/format.h"
#include "platform/prompter.h"

namespace tovanix::alarms {

namespace {

std::vector<std::string> firstTen(std::vector<std::string> numbers) {
    if (numbers.size() > static_cast<std::size_t>(kMaxPhoneNumbers)) numbers.resize(kMaxPhoneNumbers);
    return numbers;
}

void writeToMemory(AlarmConfig& config, AlarmColumn column, int value) {
    AlarmDeviceSettings s = config.settings();
    switch (column) {
    case AlarmColumn::Com: s.com = value; break;
    case AlarmColumn::Sound: s.sound = value; break;
    case AlarmColumn::Gms: s.gms = value; break;
    case AlarmColumn::GmsTime: s.gmsTime = value; break;
    }
    config.setSettings(s);
}

}  // namespace

AlarmPageView openAlarmPage(AlarmConfig& config, AlarmPageSession& session) {
    session = AlarmPageSession{};
    AlarmPageView view;
    PhoneRows rows = readPhoneRows();
    if (rows.result == db::StoreResult::Done) {
        view.phones = firstTen(std::move(rows.numbers));
        config.setPhones(view.phones);
    }
    view.settings = config.settings();
    return view;
}

bool saveAlarmSetting(Prompter& p, AlarmConfig& config, AlarmPageSession& session, AlarmColumn column, int value) {
    if (column == AlarmColumn::GmsTime && value < 1) value = 1;
    if (!session.lastStatementOk) return false;
    const db::StoreResult r = saveAlarmColumn(column, value);
    if (r == db::StoreResult::ConnectFailed) return false;  // nothing saved, no message
    session.lastStatementOk = r == db::StoreResult::Done;
    if (!session.lastStatementOk) {
        p.inform(kWriteFailed, kCaptionInfo);
        return false;
    }
    writeToMemory(config, column, value);
    return true;
}

PortConfirmOutcome confirmPort(Prompter& p, AlarmConfig& config, AlarmPageSession& session, int com, bool opened) {
    if (!opened) {
        p.inform(platform::format(kPortMissing, com), kCaptionInfo);
        return {false, true, config.settings().com};
    }
    if (!session.lastStatementOk) return {false, false, com};
    const db::StoreResult r = saveAlarmColumn(AlarmColumn::Com, com);
    if (r == db::StoreResult::ConnectFailed) return {false, false, com};
    session.lastStatementOk = r == db::StoreResult::Done;
    if (!session.lastStatementOk) {
        p.inform(kWriteFailed, kCaptionInfo);
        return {false, false, com};
    }
    writeToMemory(config, AlarmColumn::Com, com);
    return {true, false, com};
}

bool phoneListHasRoom(Prompter& p, const AlarmConfig& config) {
    if (config.phones().size() < static_cast<std::size_t>(kMaxPhoneNumbers)) return true;
    p.inform(kPhoneListFull, kCaptionInfo);
    return false;
}

PhoneSubmit submitPhone(Prompter& p, AlarmConfig& config, const std::string& number) {
    if (platform::utf8Length(number) != static_cast<std::size_t>(kPhoneDigits)) {
        p.inform(kPhoneLength, kPhoneLengthCaption);
        return PhoneSubmit::StayOpen;
    }
    if (!phoneListHasRoom(p, config)) return PhoneSubmit::Refused;
    const PhoneAdd add = addPhoneRow(number);
    if (add.result != db::StoreResult::Done) {
        p.inform(kWriteFailed, kCaptionInfo);
        return PhoneSubmit::Refused;
    }
    if (add.exists) {
        p.inform(kPhoneExists, kCaptionInfo);
        return PhoneSubmit::AskAgain;
    }
    config.addPhone(number);  // room checked above; the page is the only writer
    return PhoneSubmit::Added;
}

PhoneDeletion deletePhones(Prompter& p, AlarmConfig& config, const std::vector<std::string>& selected) {
    PhoneDeletion out;
    for (const std::string& number : selected) {
        const PromptAnswer a = p.ask(platform::format(kDeletePhoneAsk, number.c_str()), kCaptionConfirm,
                                     PromptIcon::Warning, PromptButtons::OkCancel);
        if (a != PromptAnswer::Ok) break;
        PhoneRows rows = deletePhoneRow(number);
        if (rows.result != db::StoreResult::Done) {
            p.inform(kDeleteFailed, kCaptionInfo);
            continue;
        }
        p.inform(kDeleteDone, kCaptionInfo);
        out.changed = true;
        out.phones = firstTen(std::move(rows.numbers));
        config.setPhones(out.phones);
    }
    return out;
}

void switchSirenOff(Prompter& p, const std::function<bool()>& postBoxOff) {
    p.inform(kBoxOffNotice, kCaptionApplication);
    if (postBoxOff) postBoxOff();
}

}  // namespace tovanix::alarms
