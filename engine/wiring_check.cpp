#include "engine/wiring_check.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "engine/complex_math.h"
#include "engine/number_format.h"

namespace waveharm {
namespace {

/// Nearest whole number, halves to even, held within 16 bits so that extreme
/// coordinates stay drawable instead of wrapping around.
int round16(double value) {
    if (!std::isfinite(value)) return 0;
    const double r = std::nearbyint(value);
    return static_cast<int>(std::clamp(r, -32768.0, 32767.0));
}

int slotStep(const ConversionSettings& s) { return pairedChannels(s.measurementType) ? 1 : 2; }

int usedSlotCount(const ConversionSettings& s) { return 2 * s.feederCount + 2; }

bool drawsThreePhase(MeasurementType type) {
    return type == MeasurementType::ThreePhase2M || type == MeasurementType::ThreePhase3M;
}

// The wiring check always measures the period by zero crossings, whatever the run's sync
// mode, and with the run's very search, so that it shows the window the run will analyse.
AnalysisPeriod findCheckPeriod(const Recording& rec, const ConversionSettings& s) {
    ConversionSettings zeroCross = s;
    zeroCross.syncMode = SyncMode::ZeroCross;
    return findAnalysisPeriod(rec, zeroCross);
}

std::string currentLine(const WiringCheckResult& r, const ConversionSettings& s, int f) {
    const double sense = s.currentSenseOhms[f];
    const std::string n = std::to_string(f + 1);
    const double ir = s.ctRatio[f] * r.channelRms[2 * f + 2] / sense;
    const double it = s.ctRatio[f] * r.channelRms[2 * f + 3] / sense;
    return "入力電流,I" + n + "r=" + formatNumber(ir, " ####0.0A") + " ,I" + n +
           "t=" + formatNumber(it, " ####0.0A");
}

}  // namespace

WiringCheckResult runWiringCheck(const Recording& recording, const ConversionSettings& settings,
                                 WindowWaveforms& window) {
    const RecorderFileHeader& h = recording.header;
    if (!(h.samplingRateKHz > 0)) throw AnalysisError("サンプリング周期が読めません");
    if (!(h.countsPerDiv > 0)) throw AnalysisError("データ数(/DIV)が0です");
    const int n = static_cast<int>(settings.sampleCount);
    const int slots = usedSlotCount(settings);
    const int step = slotStep(settings);
    for (int e = 0; e < slots; e += step) {
        const int slot = sourceSlot(settings, e);
        if (slot < 0 || slot >= recording.samples.channelCount())
            throw AnalysisError("設定のチャンネルがファイルにありません (" + std::to_string(e + 1) +
                                "番目の入力)");
    }

    WiringCheckResult r;
    const AnalysisPeriod period = findCheckPeriod(recording, settings);
    r.t1 = period.windowStart;
    r.t2 = period.windowEnd;
    r.fixedPeriod = period.fixed;
    r.fewSamples = !(h.samplingRateKHz * 1000.0 / 50.0 / 2.0 > 50);
    r.frequencyText = "基本波周波数 " + formatNumber(period.frequencyHz, "##.00") +
                      (period.fixed ? "固定" : "") + "Hz";

    window.columns = Array2<float>(3 * settings.feederCount + 3, n + 1);
    window.samplePositions.assign(n + 1, 0.0f);
    window.peakTable.fill(0);
    resampleWindow(recording, settings, period, window);

    const int size = std::max(slots, 16);
    r.fundamentalSin.assign(size, 0.0f);
    r.fundamentalCos.assign(size, 0.0f);
    r.channelRms.assign(size, 0.0f);
    for (int e = 0; e < slots; e += step) {
        const int column = e + e / 2;
        const float* w = window.columns.row(column);
        double squares = 0, sinSum = 0, cosSum = 0;
        for (int k = 0; k < n; ++k) {
            const double angle = static_cast<double>(kTwoPi) * k / n;
            squares += static_cast<double>(w[k]) * w[k];
            sinSum += w[k] * std::sin(angle);
            cosSum += w[k] * std::cos(angle);
        }
        const int slot = sourceSlot(settings, e);
        const double range = slot < kRangeSlotCount ? h.rangePerDiv[slot] : 0.0;
        r.channelRms[e] = static_cast<float>(std::sqrt(squares / n) * range / h.countsPerDiv);
        r.fundamentalSin[e] = static_cast<float>(sinSum);
        r.fundamentalCos[e] = static_cast<float>(cosSum);
    }
    r.rotation = diagramRotation(settings.measurementType, r.fundamentalSin, r.fundamentalCos);

    r.voltageLine =
        "入力電圧,Vr-s=" + formatNumber(settings.ptRatio * r.channelRms[0], " ####0.0V") +
        " ,Vt-s=" + formatNumber(settings.ptRatio * r.channelRms[1], " ####0.0V");
    r.text = r.voltageLine + "\n";
    for (int f = 0; f < settings.feederCount; ++f) {
        r.currentLines.push_back(currentLine(r, settings, f));
        r.text += r.currentLines.back() + "\n";
    }
    r.text += kWiringQuestion;
    return r;
}

float diagramRotation(MeasurementType type, const std::vector<float>& fundamentalSin,
                      const std::vector<float>& fundamentalCos) {
    if (!drawsThreePhase(type) || fundamentalSin.size() < 2 || fundamentalCos.size() < 2)
        return 0.0f;
    const auto cross =
        static_cast<float>(static_cast<double>(fundamentalCos[1]) * fundamentalSin[0] -
                           static_cast<double>(fundamentalCos[0]) * fundamentalSin[1]);
    return cross >= 0 ? 1.05f : 2.09f;
}

PaletteRgb paletteColour(int index) {
    // The fixed 16-colour palette shared by the diagrams and the analysis graphs.
    static constexpr PaletteRgb kPalette[16] = {
        {0, 0, 0},       {0, 0, 128},   {0, 128, 0},   {0, 128, 128},
        {128, 0, 0},     {128, 0, 128}, {128, 128, 0}, {192, 192, 192},
        {128, 128, 128}, {0, 0, 255},   {0, 255, 0},   {0, 255, 255},
        {255, 0, 0},     {255, 0, 255}, {255, 255, 0}, {255, 255, 255},
    };
    return kPalette[std::clamp(index, 0, 15)];
}

FeederLayout feederLayout(int feederCount, int f) {
    switch (feederCount) {
        case 1:
            return {3200, 1000, 1500};
        case 2:
            return {1800 + 3000 * f, 1000, 1500};
        case 3:
            return {1300 + 2400 * f, 1000, 1200};
        case 4:
            return {1800 + 3000 * (f % 2), 400 + 1800 * (1 - f / 2), 1200};
        case 5:
        case 6:
            return {1300 + 2400 * (f % 3), 400 + 1800 * (1 - f / 3), 1200};
        case 7:
        case 8:
            return {1100 + 1700 * (f % 4), 400 + 1800 * (1 - f / 4), 1100};
        default:
            return {1100 + 1300 * (f % 5), 400 + 1800 * (1 - f / 5), 1000};
    }
}

void drawVector(WiringDiagram& diagram, int x1, int y1, int x2, int y2, int colour,
                StrokeStyle style) {
    const double tipY = kDiagramBaseY - y2;
    diagram.segments.push_back({static_cast<double>(x1), static_cast<double>(kDiagramBaseY - y1),
                                static_cast<double>(x2), tipY, colour, style,
                                SegmentRole::ArrowShaft});
    const int dy = round16(static_cast<double>(y2) - y1);
    const int dx = round16(static_cast<double>(x2) - x1);
    // The angle points from the tip back towards the tail.
    auto a = static_cast<float>(std::atan(dy / (dx + kAtanGuard)));
    if (x2 >= x1) a -= kPi;
    for (const double spread : {0.5, -0.5}) {
        diagram.segments.push_back({static_cast<double>(x2), tipY, x2 + 50 * std::cos(a + spread),
                                    tipY - 50 * std::sin(a + spread), colour, StrokeStyle::Solid,
                                    SegmentRole::ArrowBarb});
    }
}

void drawFeederPhasors(WiringDiagram& diagram, const WiringCheckResult& check,
                       const ConversionSettings& settings, int x, int y, int size, int f) {
    const auto& sn = check.fundamentalSin;
    const auto& cs = check.fundamentalCos;
    const int a = 2 * f + 2;
    const int b = 2 * f + 3;
    if (static_cast<int>(sn.size()) <= b || static_cast<int>(cs.size()) <= b) return;
    const float rot = check.rotation;
    const int paired = pairedChannels(settings.measurementType) ? 1 : 0;
    const int yc = round16(y + size / 1.732);
    const int h = round16(size / 2.0);

    auto angle = [&](int e) {
        auto ang = static_cast<float>(std::atan(cs[e] / (sn[e] + kAtanGuard)));
        if (sn[e] < 0) ang -= kPi;
        return ang;
    };
    auto magnitude = [&](int e) {
        return static_cast<float>(
            std::sqrt(static_cast<double>(sn[e]) * sn[e] + static_cast<double>(cs[e]) * cs[e]));
    };
    // Length factors share the pair's total between its two vectors, so a balanced
    // pair draws both at full length and a single vector always does.
    auto factor = [&](float mine, float other) {
        return static_cast<float>((paired + 1) * mine / (mine + other + kAtanGuard));
    };
    const float m0 = magnitude(0), m1 = magnitude(1), ma = magnitude(a), mb = magnitude(b);
    const float kV0 = factor(m0, m1), kV1 = factor(m1, m0);
    const float kIa = factor(ma, mb), kIb = factor(mb, ma);

    const float ang0 = angle(0) + rot, ang1 = angle(1) + rot;
    const double v0x = size * kV0 * std::cos(ang0), v0y = size * kV0 * std::sin(ang0);
    const double v1x = size * kV1 * std::cos(ang1), v1y = size * kV1 * std::sin(ang1);
    // The S corner, placed so that the voltage triangle's centroid is (x, yc).
    const int ox = round16(x - (v0x + v1x) / 3);
    const int oy = round16(yc - (v0y + v1y) / 3);

    const int rx = round16(ox + v0x), ry = round16(oy + v0y);
    drawVector(diagram, ox, oy, rx, ry, 10, StrokeStyle::Solid);
    const float angA = angle(a) + rot;
    const int iax = round16(x + h * kIa * std::cos(angA));
    const int iay = round16(yc + h * kIa * std::sin(angA));
    drawVector(diagram, x, yc, iax, iay, 11, StrokeStyle::Solid);
    if (paired == 0) return;

    const int tx = round16(ox + v1x), ty = round16(oy + v1y);
    drawVector(diagram, ox, oy, tx, ty, 12, StrokeStyle::Solid);
    const float angB = angle(b) + rot;
    const int itx = round16(x + h * kIb * std::cos(angB));
    const int ity = round16(yc + h * kIb * std::sin(angB));
    drawVector(diagram, x, yc, itx, ity, 13, StrokeStyle::Solid);
    if (!drawsThreePhase(settings.measurementType)) return;

    auto line = [&](int x1, int y1, int x2, int y2, int colour, StrokeStyle style) {
        diagram.segments.push_back(
            {static_cast<double>(x1), static_cast<double>(kDiagramBaseY - y1),
             static_cast<double>(x2), static_cast<double>(kDiagramBaseY - y2), colour, style,
             SegmentRole::Line});
    };
    line(rx, ry, tx, ty, 8, StrokeStyle::Solid);  // R-T line voltage
    // The S current closes the three currents: Is = -(Ir + It).
    drawVector(diagram, x, yc, round16(x - (iax - x) - (itx - x)),
               round16(yc - (iay - yc) - (ity - yc)), 6, StrokeStyle::Dotted);
    // Phase voltages from the neutral point, in the colour of their current.
    line(x, yc, rx, ry, 11, StrokeStyle::Dotted);
    line(x, yc, tx, ty, 13, StrokeStyle::Dotted);
    line(x, yc, ox, oy, 6, StrokeStyle::Dotted);
}

WiringDiagram wiringDiagram(const WiringCheckResult& check, const ConversionSettings& settings) {
    WiringDiagram diagram;
    const int feeders = settings.feederCount;
    for (int f = 0; f < feeders; ++f) {
        const FeederLayout l = feederLayout(feeders, f);
        if (feeders >= 2)
            diagram.texts.push_back({l.x - 200, 3950 - l.y, 0, "F-" + std::to_string(f + 1)});
        drawFeederPhasors(diagram, check, settings, l.x, l.y, l.size, f);
    }
    diagram.texts.push_back({6600, 3060, 10, "Vr-s"});
    diagram.texts.push_back({7050, 3060, 11, "Ir"});
    if (pairedChannels(settings.measurementType)) {
        diagram.texts.push_back({6600, 3240, 12, "Vt-s"});
        diagram.texts.push_back({7050, 3240, 13, "It"});
    }
    if (drawsThreePhase(settings.measurementType)) {
        diagram.texts.push_back({6600, 3420, 8, "Vr-t"});
        diagram.texts.push_back({7050, 3420, 6, "Is"});
    }
    return diagram;
}

}  // namespace waveharm
