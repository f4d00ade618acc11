#include "data/export.h"

#include <fstream>
#include <sstream>
#include <strings.h>

#include "data/csv_export.h"
#include "data/pdf_report.h"
#include "platform/atomic_file.h"

namespace tovanix::data {

namespace {

// Reading the span is most of a CSV export, half of a report.
constexpr int kReadShareCsv = 900;
constexpr int kReadSharePdf = 400;

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

}  // namespace

std::string pictureFormatOf(const std::string& path) {
    const std::size_t n = path.size();
    return n > 4 && strcasecmp(path.c_str() + n - 4, ".png") == 0 ? "PNG" : "BMP";
}

ExportOutcome runExport(const ExportRequest& request, QueryControl& control) {
    ExportOutcome out;
    const bool report = request.format == ExportFormat::Pdf;
    // The font first: without it nothing is read and nothing written.
    FontSearch font;
    if (report) {
        font = findReportFont();
        if (!font.path) {
            out.status = ExportStatus::NoFont;
            out.detail = font.searched;
            return out;
        }
    }
    ExportSource source = readExportSource(request.lineid, request.address, request.from, request.to,
                                           request.format == ExportFormat::Alarms, control,
                                           report ? kReadSharePdf : kReadShareCsv);
    out.rows = source.rows.size();
    if (source.cancelled) {
        out.status = ExportStatus::Cancelled;
        return out;
    }
    if (source.result == db::StoreResult::ConnectFailed) {
        out.status = ExportStatus::ConnectFailed;
        return out;
    }
    if (source.result != db::StoreResult::Done) {
        out.status = ExportStatus::ReadFailed;
        return out;
    }
    const bool found = source.deviceRow == DeviceRow::Found;
    if (request.requireDevice && !found) {
        out.status = ExportStatus::UnknownDevice;
        return out;
    }
    if (request.requireRows && source.rows.empty()) {
        out.status = ExportStatus::EmptySpan;
        return out;
    }
    DeviceReportInfo info = source.info;
    if (!request.deviceName.empty()) info.deviceName = request.deviceName;

    std::string bytes;
    switch (request.format) {
        case ExportFormat::Csv:
            bytes = curveCsv(info, found, source.rows);
            break;
        case ExportFormat::Alarms:
            bytes = alarmCsv(info, found, source.rows);
            break;
        case ExportFormat::Bitmap:
            bytes = request.curve ? request.curve(info, source.rows, request.pictureFormat.c_str(), false) : std::string();
            if (bytes.empty()) {
                out.status = ExportStatus::PictureFailed;
                return out;
            }
            break;
        case ExportFormat::Pdf: {
            PdfReportInput in;
            in.info = info;
            in.rows = &source.rows;
            StatisticsAccumulator acc;
            for (const ExportRow& r : source.rows) acc.add(r.ch1, r.ch2);
            in.statistics = acc.result();
            in.headerTime = request.headerTime;
            in.fontPath = *font.path;
            in.logoPng = readFile(request.logoPath);
            if (request.curve) {
                in.curvePng = request.curve(info, source.rows, "PNG", true);
                if (in.curvePng.empty() && !control.cancel.load()) {
                    out.status = ExportStatus::PictureFailed;
                    return out;
                }
            }
            PdfResult pdf = buildPdfReport(in, &control.permille, kReadSharePdf, &control.cancel);
            if (pdf.cancelled) {
                out.status = ExportStatus::Cancelled;
                return out;
            }
            if (!pdf.ok) {
                out.status = ExportStatus::ReportFailed;
                out.detail = pdf.error;
                return out;
            }
            bytes = std::move(pdf.bytes);
            break;
        }
    }
    if (control.cancel.load()) {
        out.status = ExportStatus::Cancelled;
        return out;
    }
    const std::string error = platform::writeFileAtomically(request.path, bytes);
    if (!error.empty()) {
        out.status = ExportStatus::WriteFailed;
        out.detail = error;
        return out;
    }
    control.permille.store(kPermille);
    out.status = ExportStatus::Written;
    return out;
}

std::string exportFailureText(const ExportOutcome& o, const std::string& path) {
    const auto with = [&o](const std::string& text) { return o.detail.empty() ? text : text + "\n" + o.detail; };
    switch (o.status) {
        case ExportStatus::Written:
            return {};
        case ExportStatus::ConnectFailed:
            return "无法连接数据库，未输出文件";
        case ExportStatus::ReadFailed:
            return "读取数据库出错，未输出文件";
        case ExportStatus::UnknownDevice:
            return "设备不存在，未输出文件";
        case ExportStatus::EmptySpan:
            return "所选时间段内没有数据，未输出文件";
        case ExportStatus::Cancelled:
            return "输出已取消";
        case ExportStatus::NoFont:
            return with(kNoFont);
        case ExportStatus::ReportFailed:
            return with("生成PDF出错，未输出文件");
        case ExportStatus::PictureFailed:
            return "无法生成曲线图片，未输出文件";
        case ExportStatus::WriteFailed:
            return with(path + " 写入失败，未输出文件");
    }
    return {};
}

}  // namespace tovanix::data
