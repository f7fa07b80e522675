#include "Plot.h"
#include "params/CLocale.h"

#include "Failure.h"

#include <cairo.h>
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>

namespace tolmar::render
{
namespace
{
struct Colour
{
    double r, g, b, a = 1.0;
};
constexpr Colour kBackground{1, 1, 1};
constexpr Colour kPanel{0.972, 0.975, 0.982};
constexpr Colour kTailShade{0.925, 0.93, 0.955};
constexpr Colour kGrid{0.84, 0.85, 0.88};
constexpr Colour kZero{0.55, 0.56, 0.6};
constexpr Colour kText{0.13, 0.14, 0.17};
constexpr Colour kMuted{0.42, 0.44, 0.49};
constexpr Colour kLeft{0.12, 0.44, 0.74, 0.85};
constexpr Colour kRight{0.96, 0.5, 0.09, 0.65};
constexpr Colour kLevel{0.2, 0.36, 0.6, 0.8};
constexpr Colour kEcho{0.8, 0.12, 0.15};
constexpr const char* kFont = "Roboto";

constexpr double kWidth = 1400;
constexpr double kMarginLeft = 78;
constexpr double kMarginRight = 30;

struct Rect
{
    double x, y, w, h;
};

// Low and high sample of each channel between two times; false when the
// signal has no frames there.
using Columns = std::function<bool(double from, double to, float low[2], float high[2])>;

class Canvas
{
public:
    explicit Canvas(double height)
        : surface_(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, static_cast<int>(kWidth), static_cast<int>(height))),
          cr_(cairo_create(surface_))
    {
        set(kBackground);
        cairo_paint(cr_);
    }
    ~Canvas()
    {
        cairo_destroy(cr_);
        cairo_surface_destroy(surface_);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    cairo_t* cr() const { return cr_; }
    void set(const Colour& c) { cairo_set_source_rgba(cr_, c.r, c.g, c.b, c.a); }

    // align: 0 left, 0.5 centred, 1 right; y is the baseline.
    double text(double x, double y, const std::string& s, double size, const Colour& c, double align = 0,
                bool bold = false)
    {
        cairo_select_font_face(cr_, kFont, CAIRO_FONT_SLANT_NORMAL,
                               bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
        cairo_set_font_size(cr_, size);
        cairo_text_extents_t e;
        cairo_text_extents(cr_, s.c_str(), &e);
        set(c);
        cairo_move_to(cr_, x - align * e.x_advance, y);
        cairo_show_text(cr_, s.c_str());
        return e.x_advance;
    }

    void line(double x0, double y0, double x1, double y1, const Colour& c, double width, bool dashed = false)
    {
        set(c);
        cairo_set_line_width(cr_, width);
        if (dashed)
        {
            const double dash[] = {5, 4};
            cairo_set_dash(cr_, dash, 2, 0);
        }
        cairo_move_to(cr_, x0, y0);
        cairo_line_to(cr_, x1, y1);
        cairo_stroke(cr_);
        cairo_set_dash(cr_, nullptr, 0, 0);
    }

    void fill(const Rect& r, const Colour& c)
    {
        set(c);
        cairo_rectangle(cr_, r.x, r.y, r.w, r.h);
        cairo_fill(cr_);
    }

    std::vector<char> png() const
    {
        std::vector<char> bytes;
        cairo_surface_flush(surface_);
        const auto status = cairo_surface_write_to_png_stream(
            surface_,
            // Called by cairo on this thread, once per piece of the file.
            [](void* closure, const unsigned char* data, unsigned int length) {
                auto* out = static_cast<std::vector<char>*>(closure);
                out->insert(out->end(), data, data + length);
                return CAIRO_STATUS_SUCCESS;
            },
            &bytes);
        if (status != CAIRO_STATUS_SUCCESS)
            throw Failure(std::string("cannot draw the plot: ") + cairo_status_to_string(status));
        return bytes;
    }

private:
    cairo_surface_t* surface_;
    cairo_t* cr_;
};

// 1, 2 or 5 times a power of ten, giving about `ticks` divisions of the span.
double niceStep(double span, int ticks)
{
    const double raw = span / ticks;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (m * power >= raw)
            return m * power;
    return 10 * power;
}

std::string number(double v, double step)
{
    const int decimals = std::max(0, static_cast<int>(std::ceil(-std::log10(step) - 1e-9)));
    char text[32];
    CLocale::Format(text, sizeof text, "%.*f", decimals, std::fabs(v) < step * 1e-6 ? 0.0 : v);
    std::string s = text;
    if (!s.empty() && s[0] == '-')
        s = "\u2212" + s.substr(1); // a real minus sign
    return s;
}

struct TimeAxis
{
    double from, to;
    bool millis; // label in milliseconds

    double x(const Rect& r, double t) const { return r.x + (t - from) / (to - from) * r.w; }
};

void drawTailShade(Canvas& c, const Rect& r, const TimeAxis& axis, double tailFrom)
{
    if (tailFrom >= axis.to || tailFrom <= axis.from)
        return;
    const double x = axis.x(r, tailFrom);
    c.fill({x, r.y, r.x + r.w - x, r.h}, kTailShade);
    c.line(x, r.y, x, r.y + r.h, kMuted, 1.2, true);
    c.text(x + 6, r.y + 16, "tail", 12, kMuted);
}

// The panel's background, title, time grid and time labels; the tail, when
// it starts inside the panel, is shaded.
void drawTimeFrame(Canvas& c, const Rect& r, const TimeAxis& axis, const std::string& title, double tailFrom = -1)
{
    c.fill(r, kPanel);
    drawTailShade(c, r, axis, tailFrom);
    c.text(r.x, r.y - 10, title, 15, kText, 0, true);
    const double scale = axis.millis ? 1000.0 : 1.0;
    const double step = niceStep((axis.to - axis.from) * scale, 10);
    for (double t = std::ceil(axis.from * scale / step) * step; t <= axis.to * scale + step * 1e-6; t += step)
    {
        const double x = axis.x(r, t / scale);
        c.line(x, r.y, x, r.y + r.h, kGrid, 1);
        c.text(x, r.y + r.h + 17, number(t, step), 12, kMuted, 0.5);
    }
    c.text(r.x + r.w, r.y + r.h + 34, axis.millis ? "time (ms)" : "time (s)", 12, kMuted, 1);
}

void drawAmplitudeGrid(Canvas& c, const Rect& r, double range)
{
    const double step = niceStep(2 * range, 4);
    for (double v = -std::floor(range / step) * step; v <= range + 1e-9; v += step)
    {
        const double y = r.y + (range - v) / (2 * range) * r.h;
        c.line(r.x, y, r.x + r.w, y, std::fabs(v) < 1e-9 ? kZero : kGrid, 1);
        c.text(r.x - 8, y + 4, number(v, step), 12, kMuted, 1);
    }
}

void drawColumns(Canvas& c, const Rect& r, const TimeAxis& axis, double range, const Columns& columns)
{
    const int width = static_cast<int>(r.w);
    const double perPixel = (axis.to - axis.from) / width;
    auto y = [&](double v) { return r.y + (range - std::clamp(v, -range, range)) / (2 * range) * r.h; };
    cairo_save(c.cr());
    cairo_rectangle(c.cr(), r.x, r.y, r.w, r.h);
    cairo_clip(c.cr());
    for (int channel = 0; channel < 2; ++channel)
    {
        c.set(channel == 0 ? kLeft : kRight);
        for (int px = 0; px < width; ++px)
        {
            float low[2], high[2];
            const double t = axis.from + px * perPixel;
            if (!columns(t, t + perPixel, low, high))
                continue;
            const double top = y(high[channel]);
            const double bottom = y(low[channel]);
            cairo_rectangle(c.cr(), r.x + px, top, 1.5, std::max(1.5, bottom - top));
        }
        cairo_fill(c.cr());
    }
    cairo_restore(c.cr());
}

void drawEchoLines(Canvas& c, const Rect& r, const TimeAxis& axis, const std::vector<double>& echoes, double alpha);
void drawEchoLabels(Canvas& c, const Rect& r, const TimeAxis& axis, const std::vector<double>& echoes);

void drawLegend(Canvas& c, const Rect& r)
{
    double x = r.x + r.w;
    for (int channel = 1; channel >= 0; --channel)
    {
        const std::string name = channel == 0 ? "left" : "right";
        x -= c.text(x, r.y - 10, name, 13, kMuted, 1);
        Colour swatch = channel == 0 ? kLeft : kRight;
        swatch.a = 1;
        c.fill({x - 20, r.y - 20, 14, 10}, swatch);
        x -= 36;
    }
}

void drawWaveformPanel(Canvas& c, const Rect& r, const TimeAxis& axis, const std::string& title, const Columns& columns,
                       double range, double tailFrom = -1, const std::vector<double>& echoes = {})
{
    drawTimeFrame(c, r, axis, title, tailFrom);
    drawAmplitudeGrid(c, r, range);
    drawEchoLines(c, r, axis, echoes, 0.8);
    drawColumns(c, r, axis, range, columns);
    drawEchoLabels(c, r, axis, echoes);
    drawLegend(c, r);
}

Columns columnsOf(const WaveformSummary& summary, double rate)
{
    auto buckets = std::make_shared<std::vector<WaveformSummary::Bucket>>(summary.buckets());
    const double framesPerBucket = static_cast<double>(summary.framesPerBucket());
    return [buckets, framesPerBucket, rate](double from, double to, float low[2], float high[2]) {
        const auto size = static_cast<std::int64_t>(buckets->size());
        auto first = static_cast<std::int64_t>(std::floor(from * rate / framesPerBucket));
        auto last = static_cast<std::int64_t>(std::ceil(to * rate / framesPerBucket));
        if (first < 0 || first >= size)
            return false;
        last = std::clamp<std::int64_t>(last, first + 1, size);
        low[0] = low[1] = 1e9f;
        high[0] = high[1] = -1e9f;
        for (auto i = first; i < last; ++i)
            for (int ch = 0; ch < 2; ++ch)
            {
                low[ch] = std::min(low[ch], (*buckets)[i].low[ch]);
                high[ch] = std::max(high[ch], (*buckets)[i].high[ch]);
            }
        return true;
    };
}

Columns columnsOf(const ClipRecorder& clip, double rate)
{
    return [&clip, rate](double from, double to, float low[2], float high[2]) {
        const auto size = static_cast<std::int64_t>(clip.left().size());
        const auto first = static_cast<std::int64_t>(std::floor(from * rate));
        if (first < 0 || first >= size)
            return false;
        const auto last = std::clamp<std::int64_t>(static_cast<std::int64_t>(std::ceil(to * rate)), first + 1, size);
        const std::vector<float>* channels[2] = {&clip.left(), &clip.right()};
        for (int ch = 0; ch < 2; ++ch)
        {
            const auto [lo, hi] = std::minmax_element(channels[ch]->begin() + first, channels[ch]->begin() + last);
            low[ch] = *lo;
            high[ch] = *hi;
        }
        return true;
    };
}

// The larger of 1 and the signal's peak, so that full scale always shows and
// anything louder stays in the picture.
double amplitudeRange(const WaveformSummary& s)
{
    float peak = 1.0f;
    for (const auto& b : s.buckets())
        for (int ch = 0; ch < 2; ++ch)
            peak = std::max({peak, std::fabs(b.low[ch]), std::fabs(b.high[ch])});
    return peak;
}

std::string milliseconds(double seconds)
{
    char text[32];
    CLocale::Format(text, sizeof text, seconds < 0.1 ? "%.2f ms" : "%.1f ms", seconds * 1000);
    return text;
}

// Marks closer than a few pixels would only paint a red band.
bool marksFit(const Rect& r, const TimeAxis& axis, const std::vector<double>& echoes)
{
    return echoes.size() < 2 || axis.x(r, echoes[1]) - axis.x(r, echoes[0]) >= 6;
}

void drawEchoLines(Canvas& c, const Rect& r, const TimeAxis& axis, const std::vector<double>& echoes, double alpha)
{
    if (!marksFit(r, axis, echoes))
        return;
    Colour mark = kEcho;
    mark.a = alpha;
    for (double t : echoes)
        if (const double x = axis.x(r, t); x >= r.x && x <= r.x + r.w)
            c.line(x, r.y, x, r.y + r.h, mark, 1.2, true);
}

void drawEchoLabels(Canvas& c, const Rect& r, const TimeAxis& axis, const std::vector<double>& echoes)
{
    if (!marksFit(r, axis, echoes))
        return;
    double lastLabelEnd = -1e9;
    for (double t : echoes)
    {
        // Labels that would run into the previous one are left out; the
        // mark itself still shows.
        const double x = axis.x(r, t);
        const double half = 32;
        if (x < r.x || x - half < lastLabelEnd + 6 || x + half > r.x + r.w + 20)
            continue;
        Colour box = kBackground;
        box.a = 0.85;
        c.fill({x - half, r.y + 4, 2 * half, 18}, box);
        c.text(x, r.y + 17, milliseconds(t), 12, kEcho, 0.5, true);
        lastLabelEnd = x + half;
    }
}

// Peak level per pixel column in dBFS, both channels together.
std::vector<double> levelColumns(const Rect& r, const TimeAxis& axis, const Columns& columns, double floorDb)
{
    const int width = static_cast<int>(r.w);
    const double perPixel = (axis.to - axis.from) / width;
    std::vector<double> db(width, std::nan(""));
    for (int px = 0; px < width; ++px)
    {
        float low[2], high[2];
        const double t = axis.from + px * perPixel;
        if (!columns(t, t + perPixel, low, high))
            continue;
        const double peak = std::max({std::fabs(low[0]), std::fabs(low[1]), std::fabs(high[0]), std::fabs(high[1])});
        db[px] = peak > 0 ? std::max(floorDb, 20 * std::log10(peak)) : floorDb;
    }
    return db;
}

// The output's level as a filled area, the input's (when given) as a line
// over it, the silence level the tail is cut at, and the echo marks.
void drawLevelPanel(Canvas& c, const Rect& r, const TimeAxis& axis, const Columns& output, const Columns* input,
                    double silenceDb, const std::vector<double>& echoes, double tailFrom)
{
    constexpr double kFloor = -120;
    constexpr double kTop = 0;
    drawTimeFrame(c, r, axis, "Level (dBFS, peak of both channels)", tailFrom);
    auto y = [&](double db) { return r.y + (kTop - std::clamp(db, kFloor, kTop)) / (kTop - kFloor) * r.h; };
    for (double db = kTop; db >= kFloor; db -= 20)
    {
        c.line(r.x, y(db), r.x + r.w, y(db), kGrid, 1);
        c.text(r.x - 8, y(db) + 4, number(db, 1), 12, kMuted, 1);
    }
    drawEchoLines(c, r, axis, echoes, 0.45);

    const auto out = levelColumns(r, axis, output, kFloor);
    c.set(kLevel);
    for (size_t px = 0; px < out.size(); ++px)
        if (!std::isnan(out[px]))
            cairo_rectangle(c.cr(), r.x + px, y(out[px]), 1, r.y + r.h - y(out[px]));
    cairo_fill(c.cr());

    double legendX = r.x + r.w;
    if (input)
    {
        const auto in = levelColumns(r, axis, *input, kFloor);
        bool drawing = false;
        for (size_t px = 0; px < in.size(); ++px)
        {
            if (std::isnan(in[px]))
            {
                drawing = false;
                continue;
            }
            if (!drawing)
                cairo_move_to(c.cr(), r.x + px, y(in[px]));
            cairo_line_to(c.cr(), r.x + px + 1, y(in[px]));
            drawing = true;
        }
        c.set(kText);
        cairo_set_line_width(c.cr(), 1.2);
        cairo_stroke(c.cr());
        legendX -= c.text(legendX, r.y - 10, "input", 13, kMuted, 1);
        c.line(legendX - 22, r.y - 15, legendX - 8, r.y - 15, kText, 2);
        legendX -= 36;
    }
    legendX -= c.text(legendX, r.y - 10, "output", 13, kMuted, 1);
    Colour swatch = kLevel;
    swatch.a = 1;
    c.fill({legendX - 20, r.y - 20, 14, 10}, swatch);

    c.line(r.x, y(silenceDb), r.x + r.w, y(silenceDb), kEcho, 1, true);
    const std::string label = number(silenceDb, 1) + " dBFS: silence";
    Colour box = kBackground;
    box.a = 0.85;
    c.fill({r.x + r.w - 118, y(silenceDb) - 20, 114, 17}, box);
    c.text(r.x + r.w - 8, y(silenceDb) - 7, label, 12, kEcho, 1);
}
std::vector<char> drawPicture(const PlotRequest& q)
{
    const double outputSeconds = q.output ? q.output->frames() / q.sampleRate : 0;
    const double total = std::max({outputSeconds, q.inputSeconds, 1.0 / q.sampleRate});
    const double plotWidth = kWidth - kMarginLeft - kMarginRight;
    const double header = 96;
    const double gap = 74; // tick labels below a panel plus the next panel's title

    std::vector<double> heights = q.impulse ? std::vector<double>{110, 290, 210} : std::vector<double>{220, 220, 190};
    double height = header + 40;
    for (double h : heights)
        height += h + gap;

    Canvas c(height);
    c.text(kMarginLeft, 40, q.title, 24, kText, 0, true);
    c.text(kMarginLeft, 68, q.subtitle, 15, kMuted);

    const TimeAxis full{0, total, total < 2.0};
    double top = header + 30;
    auto nextPanel = [&](double h) {
        Rect r{kMarginLeft, top, plotWidth, h};
        top += h + gap;
        return r;
    };

    if (q.input)
        drawWaveformPanel(c, nextPanel(heights[0]), full, "Input: " + q.inputLabel, columnsOf(*q.input, q.sampleRate),
                          amplitudeRange(*q.input));

    if (!q.impulse && q.output)
    {
        drawWaveformPanel(c, nextPanel(heights[1]), full, "Output", columnsOf(*q.output, q.sampleRate),
                          amplitudeRange(*q.output), q.inputSeconds);
        std::optional<Columns> input;
        if (q.input)
            input = columnsOf(*q.input, q.sampleRate);
        drawLevelPanel(c, nextPanel(heights[2]), full, columnsOf(*q.output, q.sampleRate), input ? &*input : nullptr,
                       q.silenceDb, {}, q.inputSeconds);
    }

    if (q.impulse && q.output && q.clip)
    {
        // The close-up spans the first echoes (up to eight), or half a
        // second when the spacing is unknown.
        const double clipSeconds = q.clip->left().size() / q.sampleRate;
        double span = 0.5;
        if (q.delaySeconds > 0)
            span = (std::min<size_t>(std::max<size_t>(q.echoSeconds.size(), 1), 8) + 0.6) * q.delaySeconds;
        span = std::min({span, clipSeconds, total});
        const TimeAxis close{0, std::max(span, 1.0 / q.sampleRate), span < 2.0};
        const Rect r = nextPanel(heights[1]);
        // The echoes set the scale; the dry impulse at the start is far
        // louder and would flatten them, so it may run off the top.
        const auto& left = q.clip->left();
        const auto& right = q.clip->right();
        const auto end = std::min(left.size(), static_cast<size_t>(span * q.sampleRate));
        const auto echoesFrom = std::min(end, static_cast<size_t>(0.5 * q.delaySeconds * q.sampleRate));
        float dry = 0, echoes = 0;
        for (size_t i = 0; i < end; ++i)
        {
            const float m = std::max(std::fabs(left[i]), std::fabs(right[i]));
            (i < echoesFrom ? dry : echoes) = std::max(i < echoesFrom ? dry : echoes, m);
        }
        const bool dryOffScale = echoes > 0 && dry > 1.25f * echoes;
        const double peak = dryOffScale ? echoes : std::max(dry, echoes);
        const double range = peak > 0 ? peak * 1.15 : 1.0;
        drawWaveformPanel(c, r, close, "Impulse response, first echoes marked", columnsOf(*q.clip, q.sampleRate),
                          range, -1, q.echoSeconds);
        if (dryOffScale)
        {
            char note[64];
            CLocale::Format(note, sizeof note, "dry impulse %.2f, off scale", dry);
            c.text(r.x + 6, r.y + r.h - 8, note, 12, kMuted);
        }

        drawLevelPanel(c, nextPanel(heights[2]), full, columnsOf(*q.output, q.sampleRate), nullptr, q.silenceDb,
                       q.echoSeconds, -1);
    }

    c.text(kMarginLeft, height - 22, q.footer, 13, kMuted);
    return c.png();
}
} // namespace

std::vector<char> drawPlot(const PlotRequest& request)
{
    auto png = drawPicture(request);
    // The font caches live for the whole process otherwise; the tool draws
    // one picture, so they go as soon as it is done.
    cairo_debug_reset_static_data();
    FcFini();
    return png;
}
} // namespace tolmar::render
