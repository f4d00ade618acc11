#include "data/pdf_report.h"

#include <fontconfig/fontconfig.h>
#include <hpdf.h>
#include <png.h>

#include <algorithm>
#include <iterator>
#include <cstdio>
#include <cstring>
#include <strings.h>
#include <unistd.h>

#include "data/history_text.h"
#include "platform/format.h"

namespace tovanix::data {

namespace {

using platform::format;

// Fonts and frames of the report, in points.
constexpr float kTitleSize = 14;
constexpr float kBodySize = 12;
constexpr float kCellSize = 10;
constexpr float kMargin = 50;
constexpr float kRuleY = 790;
constexpr float kBarHeight = 20;
constexpr float kBarPad = 3;  // baseline above a bar's bottom, and below its top plus the size
constexpr float kGrey = 0.9f;
constexpr float kContentWidth = 541;
constexpr float kPageNumberX = 300;
constexpr float kPageNumberY = 20;
constexpr float kHeaderNameY = 820;
constexpr float kHeaderDateY = 800;
constexpr float kLogoY = 800;
// "基本信息"
constexpr float kInfoTop = 780;
constexpr float kInfoHeight = 200;
constexpr float kInfoFirstBaseline = 746;
constexpr float kSeparatorTop = 760;
constexpr float kRowPitch = 16;
constexpr float kSeparatorFactor = 1.2f;
constexpr float kInfoLabelFactor = 0.1f;
constexpr float kValueGap = 4;
// "记录统计"
constexpr float kStatTop = 570;
constexpr float kStatSeparatorTop = 550;
constexpr float kStatSeparatorBottom = 440;
constexpr float kStatFirstBaseline = 536;
constexpr float kStatLabelFactor = 0.05f;
constexpr float kStatValueGap = 8;
// "记录曲线"
constexpr float kCurveTop = 430;
constexpr float kCurveImageTop = 408;
constexpr float kCurveScale = 0.7f;
// "记录数据"
constexpr float kDataX = 35;
constexpr float kDataWidth = 566;
constexpr float kDataTop = 780;
constexpr float kBlockTop = 752;
constexpr float kBlockWidth = 280;
constexpr float kRightBlockX = 317;
constexpr float kBlockBar = 16;
constexpr float kFullBlockHeight = 706;
constexpr float kPartialBlockExtra = 20;
constexpr float kCellPitch = 12;
constexpr float kLeftFirstBaseline = 734;
constexpr float kRightFirstBaseline = 732;
constexpr int kCells = 6;
constexpr float kCellWidths[kCells] = {40, 64.4f, 53.5f, 45.5f, 45.5f, 36.5f};
constexpr float kThousand = 1000;

// libharu's error numbers of the first failure; later calls fail alike.
struct HaruError {
    bool set = false;
    HPDF_STATUS error = 0;
    HPDF_STATUS detail = 0;
};

void onHaruError(HPDF_STATUS error, HPDF_STATUS detail, void* data) {
    auto* e = static_cast<HaruError*>(data);
    if (e->set) return;
    e->set = true;
    e->error = error;
    e->detail = detail;
}

bool endsWithTtf(const char* file) {
    const std::size_t n = std::strlen(file);
    return n > 4 && strcasecmp(file + n - 4, ".ttf") == 0;
}

// Draws text in two fonts: every character GBK holds in two bytes (all
// but ASCII) in the Chinese font, ASCII in Helvetica. The Chinese font is
// addressed in UTF-8, which libharu writes as Identity-H with a ToUnicode
// map: a predefined CMap such as GBK-EUC-H would need the reader's own
// language pack to show anything and to copy the text.
class Writer {
public:
    Writer(HPDF_Font chinese, HPDF_Font latin) : chinese_(chinese), latin_(latin) {}

    struct Run {
        bool chinese;
        std::string bytes;  // UTF-8
    };
    static std::vector<Run> runs(const std::string& utf8) {
        std::vector<Run> out;
        for (std::size_t i = 0; i < utf8.size();) {
            const auto lead = static_cast<unsigned char>(utf8[i]);
            const bool wide = lead >= 0x80;
            std::size_t len = 1;
            if (lead >= 0xF0) {
                len = 4;
            } else if (lead >= 0xE0) {
                len = 3;
            } else if (lead >= 0xC0) {
                len = 2;
            }
            len = std::min(len, utf8.size() - i);
            if (out.empty() || out.back().chinese != wide) out.push_back({wide, {}});
            out.back().bytes.append(utf8, i, len);
            i += len;
        }
        return out;
    }
    float width(HPDF_Font font, const std::string& bytes, float size) const {
        const HPDF_TextWidth w =
            HPDF_Font_TextWidth(font, reinterpret_cast<const HPDF_BYTE*>(bytes.data()), static_cast<HPDF_UINT>(bytes.size()));
        return static_cast<float>(w.width) * size / kThousand;
    }
    // Width of text drawn mixed: the sum of its runs in their fonts.
    float mixedWidth(const std::string& utf8, float size) const {
        float w = 0;
        for (const Run& r : runs(utf8)) w += width(r.chinese ? chinese_ : latin_, r.bytes, size);
        return w;
    }
    float chineseWidth(const std::string& utf8, float size) const { return width(chinese_, utf8, size); }
    // One text object per mixed text.
    void mixed(HPDF_Page page, float x, float y, const std::string& utf8, float size) const {
        const auto parts = runs(utf8);
        if (parts.empty()) return;
        HPDF_Page_BeginText(page);
        bool first = true;
        for (const Run& r : parts) {
            HPDF_Page_SetFontAndSize(page, r.chinese ? chinese_ : latin_, size);
            if (first) {
                HPDF_Page_TextOut(page, x, y, r.bytes.c_str());
                first = false;
            } else {
                HPDF_Page_ShowText(page, r.bytes.c_str());
            }
        }
        HPDF_Page_EndText(page);
    }
    void centred(HPDF_Page page, float left, float width, float y, const std::string& utf8, float size) const {
        mixed(page, left + (width - mixedWidth(utf8, size)) / 2, y, utf8, size);
    }
    void latin(HPDF_Page page, float x, float y, const std::string& text, float size) const {
        HPDF_Page_BeginText(page);
        HPDF_Page_SetFontAndSize(page, latin_, size);
        HPDF_Page_TextOut(page, x, y, text.c_str());
        HPDF_Page_EndText(page);
    }
    HPDF_Font latinFont() const { return latin_; }

private:
    HPDF_Font chinese_;
    HPDF_Font latin_;
};

// A grey bar 20 high hanging below (x, top), its title centred at 14 pt.
void barFrame(HPDF_Page page, const Writer& w, float x, float top, float width, const std::string& title) {
    HPDF_Page_SetRGBFill(page, kGrey, kGrey, kGrey);
    HPDF_Page_Rectangle(page, x, top - kBarHeight, width, kBarHeight);
    HPDF_Page_Fill(page);
    HPDF_Page_SetRGBFill(page, 0, 0, 0);
    w.centred(page, x, width, top - kTitleSize - kBarPad, title, kTitleSize);
}

// A box with corners of radius r, a grey title bar r high, a black outline.
void roundedFrame(HPDF_Page page, float x, float top, float width, float height, float r) {
    const float bottom = top - height;
    HPDF_Page_SetRGBFill(page, kGrey, kGrey, kGrey);
    HPDF_Page_MoveTo(page, x, top - r);
    HPDF_Page_Arc(page, x + r, top - r, r, 270, 360);
    HPDF_Page_LineTo(page, x + width - r, top);
    HPDF_Page_Arc(page, x + width - r, top - r, r, 0, 90);
    HPDF_Page_ClosePath(page);
    HPDF_Page_Fill(page);
    HPDF_Page_SetRGBFill(page, 0, 0, 0);

    HPDF_Page_SetLineWidth(page, 1);
    HPDF_Page_SetRGBStroke(page, 0, 0, 0);
    HPDF_Page_MoveTo(page, x + r, top);
    HPDF_Page_LineTo(page, x + width - r, top);
    HPDF_Page_Arc(page, x + width - r, top - r, r, 0, 90);
    HPDF_Page_LineTo(page, x + width, bottom + r);
    HPDF_Page_Arc(page, x + width - r, bottom + r, r, 90, 180);
    HPDF_Page_LineTo(page, x + r, bottom);
    HPDF_Page_Arc(page, x + r, bottom + r, r, 180, 270);
    HPDF_Page_LineTo(page, x, top - r);
    HPDF_Page_Arc(page, x + r, top - r, r, 270, 360);
    HPDF_Page_Stroke(page);
}

void line(HPDF_Page page, float x1, float y1, float x2, float y2) {
    HPDF_Page_MoveTo(page, x1, y1);
    HPDF_Page_LineTo(page, x2, y2);
    HPDF_Page_Stroke(page);
}

class Report {
public:
    Report(HPDF_Doc pdf, const PdfReportInput& in, const Writer& w, HPDF_Image logo)
        : pdf_(pdf), in_(in), w_(w), logo_(logo), total_(reportPageCount(in.rows->size())) {}

    HPDF_Page newPage() {
        HPDF_Page page = HPDF_AddPage(pdf_);
        HPDF_Page_SetWidth(page, kPageWidth);
        HPDF_Page_SetHeight(page, kPageHeight);
        if (logo_ != nullptr) {
            const float lw = static_cast<float>(HPDF_Image_GetWidth(logo_)) / 2;
            const float lh = static_cast<float>(HPDF_Image_GetHeight(logo_)) / 2;
            HPDF_Page_DrawImage(page, logo_, kPageWidth - lw - kMargin, kLogoY, lw, lh);
        }
        // The name may be Chinese: Helvetica alone would drop it.
        w_.mixed(page, kMargin, kHeaderNameY, in_.info.deviceName, kTitleSize);
        w_.latin(page, kMargin, kHeaderDateY, in_.headerTime, kTitleSize);
        HPDF_Page_SetLineWidth(page, 1);
        HPDF_Page_SetRGBStroke(page, 0, 0, 0);
        line(page, kMargin, kRuleY, kPageWidth - kMargin, kRuleY);
        ++number_;
        w_.latin(page, kPageNumberX, kPageNumberY, format("%d/%d", number_, total_), kBodySize);
        return page;
    }

    void summary(HPDF_Image curve) {
        HPDF_Page page = newPage();
        basicInfo(page);
        statistics(page);
        barFrame(page, w_, kMargin, kCurveTop, kContentWidth, "记录曲线");
        if (curve != nullptr) {
            const float h = static_cast<float>(HPDF_Image_GetHeight(curve)) * kCurveScale;
            HPDF_Page_DrawImage(page, curve, kMargin, kCurveImageTop - h, kContentWidth, h);
        }
    }

    // False when `cancel` was set before the last block.
    bool dataPages(std::atomic<int>* permille, int from, const std::atomic<bool>* cancel) {
        const std::vector<ExportRow>& rows = *in_.rows;
        const std::size_t n = rows.size();
        const bool single = in_.info.probeType == kProbeTemperatureOnly;
        float widths[kCells];
        float scale = 0;
        for (float c : kCellWidths) scale += c;
        // The cells are scaled to the block they sit in.
        for (int i = 0; i < kCells; ++i) widths[i] = kCellWidths[i] * kBlockWidth / scale;
        const std::string headers[kCells] = {"序号", "日期", "时间", kHeaderTemperature,
                                             single ? kNoChannelText : secondHeader(in_.info.probeType), "备注"};
        HPDF_Page page = nullptr;
        for (std::size_t first = 0; first < n; first += kBlockRows) {
            // A month is hundreds of pages; closing the window must not wait for them.
            if (cancel != nullptr && cancel->load()) return false;
            const std::size_t count = std::min<std::size_t>(kBlockRows, n - first);
            const bool left = (first / kBlockRows) % 2 == 0;
            if (left) {
                page = newPage();
                barFrame(page, w_, kDataX, kDataTop, kDataWidth, "记录数据");
                if (permille != nullptr) {
                    permille->store(from + static_cast<int>((kPermille - from) * static_cast<double>(first) / n));
                }
            }
            const float x = left ? kDataX : kRightBlockX;
            const float height =
                count == kBlockRows ? kFullBlockHeight : static_cast<float>(count) * kCellPitch + kPartialBlockExtra;
            roundedFrame(page, x, kBlockTop, kBlockWidth, height, kBlockBar);
            float cx = x;
            for (int i = 0; i + 1 < kCells; ++i) {
                cx += widths[i];
                line(page, cx, kBlockTop, cx, kBlockTop - height);
            }
            cx = x;
            const float headerBaseline = kBlockTop - kBlockBar + kBarPad;
            for (int i = 0; i < kCells; ++i) {
                w_.centred(page, cx, widths[i], headerBaseline, headers[i], kCellSize);
                cx += widths[i];
            }
            // The readings are Latin text: one text object for the block.
            HPDF_Page_BeginText(page);
            HPDF_Page_SetFontAndSize(page, w_.latinFont(), kCellSize);
            const float firstBaseline = left ? kLeftFirstBaseline : kRightFirstBaseline;
            for (std::size_t j = 0; j < count; ++j) {
                const ExportRow& r = rows[first + j];
                const TimeFields t = scanTime(r.timeText());
                const std::string cells[kCells] = {
                    format("%zu", first + j + 1),
                    format("%d-%02d-%02d", t.year, t.month, t.day),
                    format("%02d:%02d:%02d", t.hour, t.minute, t.second),
                    cellValue(r.ch1),
                    single ? std::string(kNoChannelText) : cellValue(r.ch2),
                    r.sign == "A" ? "A" : ""};
                const float y = firstBaseline - kCellPitch * static_cast<float>(j + 1);
                cx = x;
                for (int i = 0; i < kCells; ++i) {
                    if (!cells[i].empty()) {
                        const float tw = w_.width(w_.latinFont(), cells[i], kCellSize);
                        HPDF_Page_TextOut(page, cx + (widths[i] - tw) / 2, y, cells[i].c_str());
                    }
                    cx += widths[i];
                }
            }
            HPDF_Page_EndText(page);
        }
        return true;
    }

private:
    static std::string cellValue(float v) {
        return v == kNoReading ? "N/A " : format("%.01f", static_cast<double>(v));
    }

    void basicInfo(HPDF_Page page) {
        const DeviceReportInfo& info = in_.info;
        roundedFrame(page, kMargin, kInfoTop, kContentWidth, kInfoHeight, kBarHeight);
        w_.centred(page, kMargin, kContentWidth, kInfoTop - kTitleSize - kBarPad, "基本信息", kTitleSize);
        const float sep = kMargin + kSeparatorFactor * std::max(w_.chineseWidth("温度报警上限", kBodySize),
                                                                w_.chineseWidth("记录时长", kBodySize));
        line(page, sep, kSeparatorTop, sep, kInfoTop - kInfoHeight);
        const float labelX = kMargin + kInfoLabelFactor * w_.chineseWidth("记录时长", kBodySize);
        const auto limit = [](const ChannelInfo& c, float v, const char* unit) {
            return c.enable != 0 ? format("%0.1f %s", static_cast<double>(v), unit) : std::string("未设置");
        };
        const auto& rows = *in_.rows;
        const ChannelInfo& c1 = info.channels[0];
        const ChannelInfo& c2 = info.channels[1];
        const std::pair<const char*, std::string> lines[] = {
            {"名称", info.deviceName},
            {"设备地址", format("%d", info.deviceNumber)},
            {"序列号", "未检测"},
            {"记录间隔", format("%d 分", info.recordInter)},
            {"记录时长", reportDuration(rows)},
            {"温度报警上限", limit(c1, c1.upper, "℃")},
            {"温度报警下限", limit(c1, c1.lower, "℃")},
            {"湿度报警上限", limit(c2, c2.upper, "%")},
            {"湿度报警下限", limit(c2, c2.lower, "%")},
            {"开始时间", rows.empty() ? std::string() : std::string(rows.back().timeText())},
            {"结束时间", rows.empty() ? std::string() : std::string(rows.front().timeText())},
        };
        float y = kInfoFirstBaseline;
        for (const auto& [label, value] : lines) {
            w_.mixed(page, labelX, y, label, kBodySize);
            w_.mixed(page, sep + kValueGap, y, value, kBodySize);
            y -= kRowPitch;
        }
    }

    void statistics(HPDF_Page page) {
        const Statistics& s = in_.statistics;
        const int probe = in_.info.probeType;
        barFrame(page, w_, kMargin, kStatTop, kContentWidth, "记录统计");
        const float labelWidth = w_.chineseWidth("温度平均值", kBodySize);
        const float sep = kMargin + kSeparatorFactor * labelWidth;
        HPDF_Page_SetRGBStroke(page, kGrey, kGrey, kGrey);
        line(page, sep, kStatSeparatorTop, sep, kStatSeparatorBottom);
        HPDF_Page_SetRGBStroke(page, 0, 0, 0);
        const auto temperature = [](float v) { return format("%.1f℃", static_cast<double>(v)); };
        const auto second = [probe](float v) {
            if (probe == kProbeTemperatureOnly) return std::string(kNoChannelText);
            return format(probe == kProbeTwoTemperatures ? "%.1f℃" : "%.1f%%", static_cast<double>(v));
        };
        const bool two = probe == kProbeTwoTemperatures;
        const std::pair<const char*, std::string> lines[] = {
            {"温度最大值", temperature(s.max1)},
            {"温度最小值", temperature(s.min1)},
            {"温度平均值", temperature(s.avg1)},
            {two ? "温度最大值" : "湿度最大值", second(s.max2)},
            {two ? "温度最小值" : "湿度最小值", second(s.min2)},
            {two ? "温度平均值" : "湿度平均值", second(s.avg2)},
            {"数据总数", format("%u 条", s.count)},
        };
        float y = kStatFirstBaseline;
        for (const auto& [label, value] : lines) {
            w_.mixed(page, kMargin + kStatLabelFactor * labelWidth, y, label, kBodySize);
            w_.mixed(page, sep + kStatValueGap, y, value, kBodySize);
            y -= kRowPitch;
        }
    }

    HPDF_Doc pdf_;
    const PdfReportInput& in_;
    const Writer& w_;
    HPDF_Image logo_;
    int total_;
    int number_ = 0;
};

// Whether libpng decodes the whole picture. libharu's own reader aborts the
// process on a damaged file, so a file from disk is tried here first.
bool pngDecodes(const std::string& png) {
    if (png.empty()) return false;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_memory(&image, png.data(), png.size()) == 0) return false;
    image.format = PNG_FORMAT_RGBA;
    std::vector<png_byte> pixels(PNG_IMAGE_SIZE(image));
    const bool ok = png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr) != 0;
    png_image_free(&image);
    return ok;
}

HPDF_Image pngImage(HPDF_Doc pdf, const std::string& png) {
    if (png.empty()) return nullptr;
    return HPDF_LoadPngImageFromMem(pdf, reinterpret_cast<const HPDF_BYTE*>(png.data()),
                                    static_cast<HPDF_UINT>(png.size()));
}

}  // namespace

FontSearch findReportFont() {
    FontSearch found;
    found.searched = kFontSearch;
    if (FcInit() == FcFalse) return found;
    // Every TrueType font that covers simplified Chinese, the named
    // families first, in their order.
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>("zh-cn"));
    FcPatternAddString(pattern, FC_FONTFORMAT, reinterpret_cast<const FcChar8*>("TrueType"));
    FcObjectSet* objects = FcObjectSetBuild(FC_FILE, FC_FAMILY, nullptr);
    FcFontSet* fonts = FcFontList(nullptr, pattern, objects);
    constexpr const char* kFamilies[] = {"FangSong", "AR PL KaitiM GB", "AR PL SungtiL GB"};
    constexpr std::size_t kAnyFamily = std::size(kFamilies);
    std::size_t best = kAnyFamily + 1;
    std::string bestPath;
    for (int i = 0; fonts != nullptr && i < fonts->nfont; ++i) {
        FcChar8* file = nullptr;
        if (FcPatternGetString(fonts->fonts[i], FC_FILE, 0, &file) != FcResultMatch) continue;
        const char* path = reinterpret_cast<const char*>(file);
        // libharu embeds the outlines of a single TrueType file, not a collection.
        if (!endsWithTtf(path) || ::access(path, R_OK) != 0) continue;
        std::size_t rank = kAnyFamily;
        FcChar8* family = nullptr;
        for (int f = 0; FcPatternGetString(fonts->fonts[i], FC_FAMILY, f, &family) == FcResultMatch; ++f) {
            for (std::size_t k = 0; k < kAnyFamily; ++k) {
                if (std::strcmp(reinterpret_cast<const char*>(family), kFamilies[k]) == 0) rank = std::min(rank, k);
            }
        }
        // The same font on every run: by rank, then by path.
        if (rank < best || (rank == best && bestPath > path)) {
            best = rank;
            bestPath = path;
        }
    }
    if (!bestPath.empty()) found.path = bestPath;
    if (fonts != nullptr) FcFontSetDestroy(fonts);
    FcObjectSetDestroy(objects);
    FcPatternDestroy(pattern);
    return found;
}

int reportPageCount(std::size_t readings) {
    return 1 + static_cast<int>((readings + kRowsPerPage - 1) / kRowsPerPage);
}

std::string reportDuration(const std::vector<ExportRow>& rows) {
    if (rows.empty()) return {};
    // A time that cannot be read counts as no time at all.
    const SpanFields s = rowsSpan(rows).value_or(SpanFields{});
    return format("%ld天%ld小时%ld分钟%ld秒", s.days, s.hours, s.minutes, s.seconds);
}

PdfResult buildPdfReport(const PdfReportInput& in, std::atomic<int>* permille, int progressFrom,
                         const std::atomic<bool>* cancel) {
    PdfResult r;
    const auto cancelled = [cancel] { return cancel != nullptr && cancel->load(); };
    if (cancelled()) {
        r.cancelled = true;
        return r;
    }
    static const std::vector<ExportRow> kNone;
    PdfReportInput input = in;
    if (input.rows == nullptr) input.rows = &kNone;
    HaruError error;
    HPDF_Doc pdf = HPDF_New(onHaruError, &error);
    if (pdf == nullptr) {
        r.error = "libharu: cannot create a document";
        return r;
    }
    HPDF_UseUTFEncodings(pdf);
    HPDF_SetCompressionMode(pdf, HPDF_COMP_ALL);
    // Embedded: a reader without this font still shows the report.
    const char* name = HPDF_LoadTTFontFromFile(pdf, input.fontPath.c_str(), HPDF_TRUE);
    HPDF_Font chinese = name != nullptr ? HPDF_GetFont(pdf, name, "UTF-8") : nullptr;
    HPDF_Font latin = HPDF_GetFont(pdf, "Helvetica", nullptr);
    if (!error.set && chinese != nullptr && latin != nullptr) {
        const Writer writer(chinese, latin);
        // A damaged logo file costs the logo, not the report.
        HPDF_Image logo = pngDecodes(input.logoPng) ? pngImage(pdf, input.logoPng) : nullptr;
        if (error.set || logo == nullptr) {
            HPDF_ResetError(pdf);
            error = HaruError{};
            logo = nullptr;
        }
        HPDF_Image curve = pngImage(pdf, input.curvePng);
        Report report(pdf, input, writer, logo);
        if (!error.set) report.summary(curve);
        if (!error.set) r.cancelled = !report.dataPages(permille, progressFrom, cancel) || cancelled();
        if (!error.set && !r.cancelled) HPDF_SaveToStream(pdf);
        if (!error.set && !r.cancelled) {
            r.bytes.resize(HPDF_GetStreamSize(pdf));
            HPDF_UINT32 size = static_cast<HPDF_UINT32>(r.bytes.size());
            HPDF_ReadFromStream(pdf, reinterpret_cast<HPDF_BYTE*>(r.bytes.data()), &size);
            r.bytes.resize(size);
            // Reading the whole stream ends at its end: that is no failure.
            if (error.set && error.error == HPDF_STREAM_EOF && size == HPDF_GetStreamSize(pdf)) error = HaruError{};
        }
    }
    if (r.cancelled) {
        r.bytes.clear();
    } else if (error.set || r.bytes.empty()) {
        r.bytes.clear();
        r.error = error.set ? format("libharu error_no=%04X, detail_no=%u", static_cast<unsigned>(error.error),
                                     static_cast<unsigned>(error.detail))
                            : std::string("libharu: the document is empty");
    } else {
        r.ok = true;
    }
    HPDF_Free(pdf);
    if (permille != nullptr && r.ok) permille->store(kPermille);
    return r;
}

}  // namespace tovanix::data
