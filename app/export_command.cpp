#include "app/export_command.h"

#include <charconv>
#include <cstdio>
#include <string>

#include "app/credentials.h"
#include "app/headless.h"
#include "data/pdf_report.h"
#include "db/connection.h"
#include "platform/local_time.h"
#include "platform/paths.h"

namespace tovanix {

namespace {

void say(const std::string& line) { std::fprintf(stderr, "tovanix export: %s\n", line.c_str()); }

bool number(const std::string& text, int& value) {
    const char* end = text.data() + text.size();
    const auto r = std::from_chars(text.data(), end, value);
    return !text.empty() && r.ec == std::errc() && r.ptr == end;
}

// A time as the station stores it, nothing more and nothing less.
bool exactTime(const std::string& text) {
    const auto t = platform::parseLocalDateTime(text);
    return t && platform::localDateTime(*t) == text;
}

}  // namespace

bool exportDrawsCurve(const arguments::ExportOptions& o) { return o.format == "pdf" || o.format == "bmp"; }

int runExportCommand(const arguments::ExportOptions& o, const data::CurvePicture& curve) {
    data::ExportRequest request;
    if (o.line.empty() || o.address.empty() || o.from.empty() || o.to.empty() || o.format.empty() ||
        o.output.empty()) {
        say("--line, --address, --from, --to, --format and --output are all needed");
        return kExportBadArguments;
    }
    if (!number(o.line, request.lineid) || !number(o.address, request.address)) {
        say("--line and --address take whole numbers");
        return kExportBadArguments;
    }
    for (const std::string* t : {&o.from, &o.to}) {
        if (!exactTime(*t)) {
            say("bad time \"" + *t + "\": write it as YYYY-MM-DD HH:MM:SS");
            return kExportBadArguments;
        }
    }
    if (*platform::parseLocalDateTime(o.from) > *platform::parseLocalDateTime(o.to)) {
        say("--from " + o.from + " is after --to " + o.to);
        return kExportBadArguments;
    }
    if (o.format == "csv") {
        request.format = data::ExportFormat::Csv;
    } else if (o.format == "alarms") {
        request.format = data::ExportFormat::Alarms;
    } else if (o.format == "pdf") {
        request.format = data::ExportFormat::Pdf;
    } else if (o.format == "bmp") {
        request.format = data::ExportFormat::Bitmap;
    } else {
        say("unknown format \"" + o.format + "\": csv, alarms, pdf or bmp");
        return kExportBadArguments;
    }
    if (exportDrawsCurve(o) && !curve) {
        say("this build has no window and cannot draw the curve: use csv or alarms");
        return kExportBadArguments;
    }

    const std::string path = credentials::pathInStationFolder();
    const credentials::Loaded loaded = credentials::load(path);
    if (loaded.state != credentials::LoadState::Loaded) {
        say("no database account: " + path + (loaded.state == credentials::LoadState::Unreadable
                                                   ? " cannot be read"
                                                   : " is missing (start the station with its window once)"));
        return kExportNoDatabase;
    }
    {
        db::Connection c;
        if (!c.open(loaded.account, false)) {
            say(c.serverUnreachable() ? std::string(kServerUnreachable) + ": " + c.lastError()
                                      : "the database server refuses the account in " + path + ": " + c.lastError());
            return kExportNoDatabase;
        }
    }

    request.from = o.from;
    request.to = o.to;
    request.path = o.output;
    request.headerTime = o.to;
    request.pictureFormat = data::pictureFormatOf(o.output);
    request.curve = curve;
    request.logoPath = platform::programFolder() + "/" + data::kLogoFile;
    request.requireDevice = true;
    request.requireRows = true;
    data::QueryControl control;
    const data::ExportOutcome out = data::runExport(request, control);
    const std::string detail = out.detail.empty() ? std::string() : ": " + out.detail;
    switch (out.status) {
        case data::ExportStatus::Written:
            std::fprintf(stdout, "%s: %zu readings written\n", o.output.c_str(), out.rows);
            return kExportWritten;
        case data::ExportStatus::ConnectFailed:
            say("cannot connect to the database server");
            return kExportNoDatabase;
        case data::ExportStatus::ReadFailed:
            say("reading the readings failed");
            return kExportNoDatabase;
        case data::ExportStatus::UnknownDevice:
            say("no device with address " + o.address + " on line " + o.line);
            return kExportUnknownDevice;
        case data::ExportStatus::EmptySpan:
            say("no " + std::string(o.format == "alarms" ? "alarm readings" : "readings") + " from " + o.from +
                " to " + o.to + ": nothing written");
            return kExportEmptySpan;
        case data::ExportStatus::NoFont:
            say("no Chinese TrueType font for the report (searched " + out.detail + "): nothing written");
            return kExportNotWritten;
        case data::ExportStatus::ReportFailed:
            say("the report could not be made" + detail + ": nothing written");
            return kExportNotWritten;
        case data::ExportStatus::PictureFailed:
            say("the curve could not be drawn: nothing written");
            return kExportNotWritten;
        case data::ExportStatus::WriteFailed:
            say(out.detail + ": nothing written");
            return kExportNotWritten;
        case data::ExportStatus::Cancelled:
            break;
    }
    return kExportNotWritten;
}

}  // namespace tovanix
