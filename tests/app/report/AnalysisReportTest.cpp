// End-to-end tests of 'parandel analyze --plot / --report': the pictures checked against files
// whose correlation is known, the page opened in a real browser (headless Chromium).

#include "app/report/CorrelationPlot.h"
#include "editor/PngCodec.h"
#include "editor/LICE_Bitmap.h"
#include "support/CliTestFixture.h"
#include "support/TestSignals.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
using app::CorrelationPlot;
constexpr int kRate = 44100;
constexpr double kSeconds = 3.0;
// Uniform noise of amplitude 0.5: RMS 0.5 / √3.
const double kNoiseDb = 20 * std::log10(0.5 / std::sqrt(3.0));

std::vector<double> Negated(std::vector<double> v)
{
    for (double& x : v)
        x = -x;
    return v;
}

struct Rgb
{
    int r, g, b;
};
Rgb At(const LICE_IBitmap& b, double x, double y)
{
    const LICE_pixel p = *b.PixelAt(static_cast<int>(x), static_cast<int>(y));
    return {int(LICE_GETR(p)), int(LICE_GETG(p)), int(LICE_GETB(p))};
}
// The colours of the plot: the correlation line is light blue, the shading below 0 red-orange,
// the mid level near white, the side level orange.
bool IsCurve(Rgb c)
{
    return c.b > 200 && c.b > c.r + 50;
}
bool IsRed(Rgb c)
{
    return c.r > c.g + 15 && c.r > c.b + 15;
}
bool IsMid(Rgb c)
{
    return c.r > 170 && c.g > 180 && c.b > 220;
}
bool IsSide(Rgb c)
{
    return c.r > 200 && c.b < 120;
}

// Mean row of the pixels of a kind in column x between two rows; −1 when there are none.
template <typename Kind>
double RowOf(const LICE_IBitmap& b, double x, double top, double bottom, Kind kind)
{
    double sum = 0;
    int n = 0;
    for (int y = static_cast<int>(top); y < bottom; ++y)
        if (kind(At(b, x, y)))
            sum += y, ++n;
    return n ? sum / n : -1.0;
}

// Share of red pixels along row y from x0 to x1.
double RedShare(const LICE_IBitmap& b, double y, double x0, double x1)
{
    int red = 0, n = 0;
    for (int x = static_cast<int>(x0); x < x1; ++x, ++n)
        red += IsRed(At(b, x, y));
    return n ? double(red) / n : 0.0;
}

class AnalysisReport : public CliTestFixture
{
protected:
    AnalysisReport() : CliTestFixture("report") {}

    // mono.wav: L = R throughout. anti.wav: L = −R throughout. switch.wav: mono for the first
    // half, then opposite at a fifth of the level, so its loudest second lies in the first half.
    void WriteKnownFiles()
    {
        const int n = static_cast<int>(kSeconds * kRate);
        const auto x = testsig::Noise(n, 5, 0.5);
        Write(Path("mono.wav"), {x, x});
        Write(Path("anti.wav"), {x, Negated(x)});
        std::vector<double> l(x), r(x);
        for (int k = n / 2; k < n; ++k)
        {
            l[k] = 0.2 * x[k];
            r[k] = -0.2 * x[k];
        }
        Write(Path("switch.wav"), {l, r});
    }
};
} // namespace

TEST_F(AnalysisReport, PlotsShowTheKnownCorrelationLevelAndScopes)
{
    WriteKnownFiles();
    const auto r = Run({"analyze", Path("mono.wav"), Path("anti.wav"), Path("switch.wav"),
                        "--report", Path("rep"), "--json", Path("a.json"), "--quiet"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    // report.json is what --json writes for the same files.
    EXPECT_TRUE(ReadWholeFile(Path("rep/report.json")) == ReadWholeFile(Path("a.json")))
        << "report.json differs from what --json writes";
    const auto j = nlohmann::json::parse(ReadWholeFile(Path("a.json")));
    ASSERT_EQ(j.size(), 3u);
    EXPECT_EQ(j[0]["correlation"]["share_below_zero"].get<double>(), 0.0);
    EXPECT_GT(j[1]["correlation"]["share_below_zero"].get<double>(), 0.97);
    EXPECT_NEAR(j[2]["correlation"]["share_below_zero"].get<double>(), 0.5, 0.05);

    const CorrelationPlot plot(kSeconds);
    const double top = CorrelationPlot::kCorrelationTop,
                 bottom = CorrelationPlot::kCorrelationBottom;
    const double plus = CorrelationPlot::CorrelationY(1), minus = CorrelationPlot::CorrelationY(-1);
    const double aboveZero = CorrelationPlot::CorrelationY(0.5);
    struct Case
    {
        const char* name;
        double valueBefore, valueAfter; // correlation before and after 1.5 s
        double midBefore, sideBefore;   // levels in dB before 1.5 s
    };
    const double gain = 20 * std::log10(0.2);
    for (const Case c :
         {Case{"01-mono", 1, 1, kNoiseDb, -60}, Case{"02-anti", -1, -1, -60, kNoiseDb},
          Case{"03-switch", 1, -1, kNoiseDb, -60}})
    {
        SCOPED_TRACE(c.name);
        std::unique_ptr<LICE_IBitmap> b(
            LoadPngFile(Path(std::string("rep/") + c.name + "-plot.png").c_str()));
        ASSERT_TRUE(b);
        ASSERT_EQ(b->getWidth(), CorrelationPlot::kWidth);
        // The line settles at +1 or −1 on the axis within half a second (500 ms smoothing).
        for (double t : {0.6, 1.0, 1.4})
            EXPECT_NEAR(RowOf(*b, plot.X(t), top, bottom, IsCurve),
                        c.valueBefore > 0 ? plus : minus, 2.5)
                << t;
        for (double t : {2.1, 2.5, 2.9})
            EXPECT_NEAR(RowOf(*b, plot.X(t), top, bottom, IsCurve), c.valueAfter > 0 ? plus : minus,
                        2.5)
                << t;
        // Shaded exactly where the value is below 0 (a slice's value is at its end).
        const double before = RedShare(*b, aboveZero, plot.X(0.1) + 1, plot.X(1.45));
        if (c.valueBefore < 0)
            EXPECT_GT(before, 0.97); // all but the time grid's lines
        else
            EXPECT_EQ(before, 0.0);
        const double after = RedShare(*b, aboveZero, plot.X(1.65), plot.X(kSeconds) - 1);
        if (c.valueAfter < 0)
            EXPECT_GT(after, 0.97);
        else
            EXPECT_EQ(after, 0.0);
        // Level lane: mid and side of the noise, or silent (drawn at the floor).
        const double x = plot.X(1.05), lt = CorrelationPlot::kLevelTop,
                     lb = CorrelationPlot::kLevelBottom;
        EXPECT_NEAR(RowOf(*b, x, lt, lb, IsMid), CorrelationPlot::LevelY(c.midBefore), 3.0);
        EXPECT_NEAR(RowOf(*b, x, lt, lb, IsSide), CorrelationPlot::LevelY(c.sideBefore), 3.0);
        if (std::string(c.name) == "03-switch")
        {
            // The meter crosses 0 about 55 ms after the switch (ln 2 × 500 / 2π ms), and the
            // shading starts with the 100 ms step that holds the crossing (seen above the line,
            // where no fill between the line and 0 covers it).
            double crossing = -1;
            for (int px = static_cast<int>(plot.X(1.0)); px < plot.X(2.0) && crossing < 0; ++px)
                if (RowOf(*b, px, top, bottom, IsCurve) > CorrelationPlot::CorrelationY(0))
                    crossing = px;
            EXPECT_NEAR(crossing, plot.X(1.555), plot.X(0.06) - plot.X(0));
            double firstRed = -1;
            for (int px = static_cast<int>(plot.X(1.0)); px < plot.X(2.0) && firstRed < 0; ++px)
                if (IsRed(At(*b, px, CorrelationPlot::CorrelationY(0.95))))
                    firstRed = px;
            EXPECT_NEAR(firstRed, plot.X(1.5), 2.0);
            EXPECT_NEAR(RowOf(*b, plot.X(2.05), lt, lb, IsSide),
                        CorrelationPlot::LevelY(kNoiseDb + gain), 3.0);

            // The scopes show the loudest second (mono, in the first half), not the file's
            // last samples (opposite phase, which polar samples would draw flat along the base).
            std::unique_ptr<LICE_IBitmap> s(LoadPngFile(Path("rep/03-switch-scopes.png").c_str()));
            ASSERT_TRUE(s);
            const int w = (s->getWidth() - 4) / 2, h = (s->getHeight() - 4) / 2;
            double sx = 0, sy = 0, sxx = 0;
            int n = 0;
            for (int y = 0; y < h; ++y)
                for (int px = 0; px < w; ++px)
                {
                    const Rgb p = At(*s, px, y);
                    if (p.r + p.g + p.b > 600)
                        sx += px, sy += y, sxx += double(px) * px, ++n;
                }
            ASSERT_GT(n, 50);
            EXPECT_NEAR(sx / n, w / 2.0, 6.0);
            EXPECT_LT(std::sqrt(sxx / n - (sx / n) * (sx / n)), 8.0)
                << "a vertical column of points";
            EXPECT_LT(sy / n, h - 25.0);
        }
    }

    // --plot draws the same two pictures side by side.
    const auto one = Run({"analyze", Path("switch.wav"), "--plot", Path("one.png"), "--quiet"});
    ASSERT_EQ(one.exitCode, 0) << one.err;
    std::unique_ptr<LICE_IBitmap> whole(LoadPngFile(Path("one.png").c_str()));
    std::unique_ptr<LICE_IBitmap> left(LoadPngFile(Path("rep/03-switch-plot.png").c_str()));
    std::unique_ptr<LICE_IBitmap> right(LoadPngFile(Path("rep/03-switch-scopes.png").c_str()));
    ASSERT_TRUE(whole && left && right);
    ASSERT_EQ(whole->getWidth(), left->getWidth() + 4 + right->getWidth());
    int differing = 0;
    for (int y = 0; y < left->getHeight(); ++y)
    {
        for (int x = 0; x < left->getWidth(); ++x)
            differing += *whole->PixelAt(x, y) != *left->PixelAt(x, y);
        for (int x = 0; x < right->getWidth(); ++x)
            differing += *whole->PixelAt(left->getWidth() + 4 + x, y) != *right->PixelAt(x, y);
    }
    EXPECT_EQ(differing, 0);
}

TEST_F(AnalysisReport, BadInputIsRefusedAndLeavesNothing)
{
    WriteKnownFiles();
    std::FILE* f = std::fopen(Path("broken.wav").c_str(), "w");
    ASSERT_TRUE(f);
    std::fputs("not audio", f);
    std::fclose(f);
    struct Case
    {
        std::vector<std::string> args;
        int exitCode;
    };
    const Case cases[] = {
        {{"--plot", Path("p.png"), Path("mono.wav"), Path("anti.wav")}, 2}, // one file only
        {{"--plot", Path("p.png"), Path("broken.wav")}, 1},                 // unreadable
        {{"--plot", Path("anti.wav"), Path("mono.wav")}, 2},                // an audio file
        {{"--report", Path("mono.wav"), Path("anti.wav")}, 2},              // not a folder
        {{"--report", Path("no/such/folder"), Path("anti.wav")}, 1},        // cannot be made
    };
    const auto before = Files();
    for (const Case& c : cases)
    {
        std::vector<std::string> args = {"analyze", "--quiet"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const auto r = Run(args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.args[0] << " " << c.args[1] << ": " << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_EQ(r.err.rfind("parandel: error: ", 0), 0u) << r.err;
        EXPECT_EQ(Files(), before) << "nothing written";
    }
}

namespace
{
constexpr const char* kChromium = "/usr/bin/chromium";

// Reports, into the DOM that --dump-dom prints, what the page shows: its rows in order, every
// image with its decoded size and place, load errors, and whether it fits the window's width.
constexpr const char* kErrorProbe =
    "<script>window.loadErrors=[];addEventListener('error',function(e){"
    "loadErrors.push(String(e.target&&e.target.src||e.message))},true);</script>";
constexpr const char* kPageProbe = R"(<script>addEventListener('load',function(){
var o={errors:loadErrors,rows:[],overview:[],images:[],
 width:innerWidth,scrollWidth:document.documentElement.scrollWidth,
 height:document.documentElement.scrollHeight};
document.querySelectorAll('section.row').forEach(function(s){o.rows.push({file:s.dataset.file,
 share:s.dataset.share,min:s.dataset.min,text:s.innerText})});
document.querySelectorAll('#overview tbody tr').forEach(function(r){o.overview.push(r.dataset.file)});
document.querySelectorAll('img').forEach(function(i){var r=i.getBoundingClientRect();
 o.images.push({src:i.getAttribute('src'),complete:i.complete,w:i.naturalWidth,h:i.naturalHeight,
 x:r.left+scrollX,y:r.top+scrollY,cw:r.width,ch:r.height})});
var p=document.createElement('pre');p.id='probe';p.textContent=JSON.stringify(o);
document.body.appendChild(p)});</script>)";

CommandResult Chromium(const std::string& dir, int width, int height, std::vector<std::string> args)
{
    std::vector<std::string> all = {kChromium,
                                    "--headless",
                                    "--no-sandbox",
                                    "--disable-gpu",
                                    "--no-first-run",
                                    "--user-data-dir=" + dir + "/chromium-profile",
                                    "--hide-scrollbars",
                                    "--force-device-scale-factor=1",
                                    "--window-size=" + std::to_string(width) + "," +
                                        std::to_string(height)};
    all.insert(all.end(), args.begin(), args.end());
    return RunCommand(all, dir, 120);
}

// The probe's report from a DOM dump; null when there is none.
nlohmann::json ProbeOf(const std::string& dom)
{
    const size_t start = dom.find("<pre id=\"probe\">");
    const size_t end = dom.find("</pre>", start);
    if (start == std::string::npos || end == std::string::npos)
        return nullptr;
    std::string text = dom.substr(start + 16, end - start - 16);
    for (const auto& [entity, c] : {std::pair{"&lt;", "<"}, {"&gt;", ">"}, {"&amp;", "&"}})
        for (size_t at; (at = text.find(entity)) != std::string::npos;)
            text.replace(at, std::string(entity).size(), c);
    return nlohmann::json::parse(text);
}

// Brightness of a picture region in a grid of cells, for comparing a picture with what the
// browser shows of it at another scale.
std::vector<double> CellMeans(const LICE_IBitmap& b, double x0, double y0, double w, double h)
{
    constexpr int kCols = 24, kRows = 12;
    std::vector<double> cells;
    for (int cy = 0; cy < kRows; ++cy)
        for (int cx = 0; cx < kCols; ++cx)
        {
            double sum = 0;
            int n = 0;
            for (int y = int(y0 + h * cy / kRows); y < int(y0 + h * (cy + 1) / kRows); ++y)
                for (int x = int(x0 + w * cx / kCols); x < int(x0 + w * (cx + 1) / kCols); ++x)
                {
                    const Rgb p = At(b, x, y);
                    sum += p.r + p.g + p.b, ++n;
                }
            cells.push_back(n ? sum / n : 0);
        }
    return cells;
}

double Correlation(const std::vector<double>& a, const std::vector<double>& b)
{
    double ma = 0, mb = 0;
    for (size_t i = 0; i < a.size(); ++i)
        ma += a[i] / a.size(), mb += b[i] / b.size();
    double ab = 0, aa = 0, bb = 0;
    for (size_t i = 0; i < a.size(); ++i)
        ab += (a[i] - ma) * (b[i] - mb), aa += (a[i] - ma) * (a[i] - ma),
            bb += (b[i] - mb) * (b[i] - mb);
    return aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 0.0;
}
} // namespace

TEST_F(AnalysisReport, PageOpensInABrowserWorstFirst)
{
    ASSERT_EQ(access(kChromium, X_OK), 0) << kChromium << " is missing: run scripts/install-deps";
    WriteKnownFiles();
    std::FILE* f = std::fopen(Path("broken.wav").c_str(), "w");
    ASSERT_TRUE(f);
    std::fputs("not audio", f);
    std::fclose(f);
    const std::vector<std::string> given = {Path("mono.wav"), Path("broken.wav"),
                                            Path("switch.wav"), Path("anti.wav")};
    std::vector<std::string> args = {"analyze", "--report",     Path("rep"),
                                     "--json",  Path("a.json"), "--quiet"};
    args.insert(args.end(), given.begin(), given.end());
    const auto r = Run(args);
    // The unreadable file is reported and the others still are.
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_TRUE(ReadWholeFile(Path("rep/report.json")) == ReadWholeFile(Path("a.json")))
        << "report.json differs from what --json writes";
    const auto j = nlohmann::json::parse(ReadWholeFile(Path("a.json")));
    ASSERT_EQ(j.size(), 3u);

    // A copy of the page with the probe, beside it so that its links hold.
    std::string page = ReadWholeFile(Path("rep/index.html"));
    ASSERT_EQ(page.find("<script"), std::string::npos) << "the page itself runs no scripts";
    page.insert(page.find("<head>") + 6, kErrorProbe);
    page.insert(page.find("</body>"), kPageProbe);
    std::FILE* probe = std::fopen(Path("rep/probe.html").c_str(), "w");
    ASSERT_TRUE(probe);
    std::fputs(page.c_str(), probe);
    std::fclose(probe);

    nlohmann::json wide, phone;
    for (auto [width, out] : {std::pair{1600, &wide}, std::pair{390, &phone}})
    {
        const auto dump = Chromium(
            dir, width, 1000,
            {"--virtual-time-budget=10000", "--dump-dom", "file://" + Path("rep/probe.html")});
        *out = ProbeOf(dump.out);
        ASSERT_FALSE(out->is_null()) << width << ": " << dump.err.substr(0, 2000);
    }
    // Worst first: the unreadable file, then by share below 0 (anti, switch, mono); the
    // overview lists the same order.
    const std::vector<std::string> expected = {given[1], given[3], given[2], given[0]};
    ASSERT_EQ(wide["rows"].size(), 4u);
    for (size_t i = 0; i < expected.size(); ++i)
    {
        EXPECT_EQ(wide["rows"][i]["file"], expected[i]) << i;
        EXPECT_EQ(wide["overview"][i], expected[i]) << i;
    }
    EXPECT_NE(wide["rows"][0]["text"].get<std::string>().find("Could not be analysed"),
              std::string::npos);
    // The figures are those of --json (given order mono, switch, anti there).
    for (const auto& [row, entry] : {std::pair{1, 2}, {2, 1}, {3, 0}})
    {
        const auto& c = j[entry]["correlation"];
        EXPECT_EQ(std::stod(wide["rows"][row]["share"].get<std::string>()),
                  c["share_below_zero"].get<double>());
        EXPECT_EQ(std::stod(wide["rows"][row]["min"].get<std::string>()), c["min"].get<double>());
        char shown[32];
        std::snprintf(shown, sizeof(shown), "below 0 %.1f %%",
                      100 * c["share_below_zero"].get<double>());
        EXPECT_NE(wide["rows"][row]["text"].get<std::string>().find(shown), std::string::npos)
            << shown;
    }

    // Every picture loaded; side by side on a wide screen, one under the other on a phone,
    // which never scrolls sideways.
    EXPECT_TRUE(wide["errors"].empty()) << wide["errors"];
    ASSERT_EQ(wide["images"].size(), 6u);
    for (size_t i = 0; i < 6; ++i)
    {
        const auto& img = wide["images"][i];
        std::unique_ptr<LICE_IBitmap> source(
            LoadPngFile(Path("rep/" + img["src"].get<std::string>()).c_str()));
        ASSERT_TRUE(source) << img["src"];
        EXPECT_EQ(img["w"], source->getWidth()) << img["src"];
        EXPECT_EQ(img["h"], source->getHeight()) << img["src"];
        if (i % 2 == 1)
        {
            EXPECT_EQ(img["y"], wide["images"][i - 1]["y"]);
            EXPECT_GE(phone["images"][i]["y"].get<double>(),
                      phone["images"][i - 1]["y"].get<double>() +
                          phone["images"][i - 1]["ch"].get<double>());
        }
    }
    EXPECT_LE(phone["scrollWidth"].get<int>(), phone["width"].get<int>());

    // The screenshot of the page itself shows the pictures where the probe found them.
    const int height = wide["height"].get<int>();
    const auto shot =
        Chromium(dir, 1600, height,
                 {"--screenshot=" + Path("shot.png"), "file://" + Path("rep/index.html")});
    std::unique_ptr<LICE_IBitmap> screen(LoadPngFile(Path("shot.png").c_str()));
    ASSERT_TRUE(screen) << shot.err.substr(0, 2000);
    ASSERT_EQ(screen->getWidth(), 1600);
    for (const auto& img : wide["images"])
    {
        std::unique_ptr<LICE_IBitmap> source(
            LoadPngFile(Path("rep/" + img["src"].get<std::string>()).c_str()));
        ASSERT_TRUE(source);
        ASSERT_LE(img["y"].get<double>() + img["ch"].get<double>(), screen->getHeight());
        const double match =
            Correlation(CellMeans(*source, 0, 0, source->getWidth(), source->getHeight()),
                        CellMeans(*screen, img["x"], img["y"], img["cw"], img["ch"]));
        EXPECT_GT(match, 0.9) << img["src"];
    }
}
