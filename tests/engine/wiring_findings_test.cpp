// The wiring judgement on synthetic recordings of sound and miswired circuits under
// real loads. `test_engine --gtest_filter=WiringFindings.Table` prints the table of
// every miswiring against every load condition.

#include "engine/wiring_findings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "engine/period.h"
#include "engine_test_support.h"
#include "settings/settings_rules.h"

namespace waveharm {
namespace {

using test::Tone;
using test::Tones;
using Kind = WiringFindingKind;

constexpr double kVoltPeak = 110 * 1.41421356 / 20 * 80;  // 110 V at 20 V/div, 80 counts/div
constexpr double kAmpPeak = 450;                          // a full-load current, counts

/// A load condition: power factor angle (negative lagging), unbalance, load, distortion.
struct Load {
    const char* name;
    MeasurementType type = MeasurementType::ThreePhase2M;
    int feeders = 2;
    double angleDeg = -31.8;  // pf 0.85 lagging
    double tShare = 1;        // T current against R (0.7: 30 % unbalance)
    double load = 1;
    bool distorted = false;
};

/// A wiring mistake made on the recorder's channels. `target` is the feeder it hits.
struct Mistake {
    const char* name;
    std::function<void(std::vector<Tones>&, const ConversionSettings&, int target)> apply;
    bool needsPair = false;
    bool needsTwoFeeders = false;
    bool threePhaseOnly = false;
};

void invert(Tones& t) {
    for (Tone& x : t) x.phaseDeg += 180;
}

Tones sine(double amplitude, double deg, bool distorted, bool current) {
    Tones t{{1, amplitude, deg}};
    if (!distorted) return t;
    // Harmonics of a rectifier load on the currents, a few percent on the voltages.
    const double share[] = {current ? 0.25 : 0.03, current ? 0.12 : 0.02, current ? 0.07 : 0.01};
    const int orders[] = {5, 7, 11};
    for (int i = 0; i < 3; ++i)
        t.push_back({orders[i], amplitude * share[i], orders[i] * deg + 40});
    return t;
}

ConversionSettings settingsFor(const Load& l) {
    ConversionSettings s;
    applyMeasurementType(s, l.type);
    applyFeederCount(s, l.feeders);
    return s;
}

/// Recorder channels of a sound circuit: line voltages R-S at 30°, T-S at 90° (R phase
/// at 0°); feeder f's R current at its load angle from R, T from T (at +120°). In the
/// single-phase types both voltages are measured against the neutral.
std::vector<Tones> soundChannels(const Load& l, const ConversionSettings& s,
                                 const std::vector<double>& angles) {
    const bool three =
        l.type == MeasurementType::ThreePhase2M || l.type == MeasurementType::ThreePhase3M;
    int slots = 0;
    for (int e = 0; e < 2 * l.feeders + 2; ++e) slots = std::max(slots, sourceSlot(s, e) + 1);
    std::vector<Tones> ch(static_cast<std::size_t>(slots));
    auto put = [&](int e, Tones t) {
        const int slot = sourceSlot(s, e);
        if (slot >= 0 && (pairedChannels(l.type) || e % 2 == 0))
            ch[static_cast<std::size_t>(slot)] = std::move(t);
    };
    const double vr = three ? 30 : 0, vt = three ? 90 : 180, it = three ? 120 : 180;
    put(0, sine(kVoltPeak, vr, l.distorted, false));
    put(1, sine(kVoltPeak, vt, l.distorted, false));
    for (int f = 0; f < l.feeders; ++f) {
        const double a = angles[static_cast<std::size_t>(f)];
        const double amp = kAmpPeak * l.load * (1 - 0.1 * f);
        put(2 * f + 2, sine(amp, a, l.distorted, true));
        put(2 * f + 3, sine(amp * l.tShare, it + a, l.distorted, true));
    }
    return ch;
}

std::size_t slotOf(const ConversionSettings& s, int e) {
    return static_cast<std::size_t>(sourceSlot(s, e));
}

const std::vector<Mistake>& mistakes() {
    static const std::vector<Mistake> all = {
        {"correct", [](auto&, auto&, int) {}},
        {"R inverted", [](auto& ch, auto& s, int f) { invert(ch[slotOf(s, 2 * f + 2)]); }},
        {"T inverted", [](auto& ch, auto& s, int f) { invert(ch[slotOf(s, 2 * f + 3)]); }, true},
        {"R/T exchanged",
         [](auto& ch, auto& s, int f) {
             std::swap(ch[slotOf(s, 2 * f + 2)], ch[slotOf(s, 2 * f + 3)]);
         },
         true, false, true},
        {"both reversed",
         [](auto& ch, auto& s, int f) {
             invert(ch[slotOf(s, 2 * f + 2)]);
             if (pairedChannels(s.measurementType)) invert(ch[slotOf(s, 2 * f + 3)]);
         }},
        {"T from F1",
         [](auto& ch, auto& s, int f) { std::swap(ch[slotOf(s, 2 * f + 3)], ch[slotOf(s, 3)]); },
         true, true, true},
        {"T dead", [](auto& ch, auto& s, int f) { ch[slotOf(s, 2 * f + 3)] = {}; }, true},
        {"T clamp x3.5",
         [](auto& ch, auto& s, int f) {
             for (Tone& t : ch[slotOf(s, 2 * f + 3)]) t.amplitude /= 3.5;
         },
         true},
        {"V exchanged", [](auto& ch, auto&, int) { std::swap(ch[0], ch[1]); }, true, false, true},
        {"R-S inverted", [](auto& ch, auto&, int) { invert(ch[0]); }, true},
        {"T-S inverted", [](auto& ch, auto&, int) { invert(ch[1]); }, true},
        {"T-S missing", [](auto& ch, auto&, int) { ch[1] = {}; }, true},
    };
    return all;
}

const std::vector<Load>& loads() {
    static const std::vector<Load> all = {
        {"pf0.7lag", MeasurementType::ThreePhase2M, 3, -45.6},
        {"pf1.0", MeasurementType::ThreePhase2M, 3, 0},
        {"pf0.9lead", MeasurementType::ThreePhase2M, 3, 25.8},
        {"unbal30%", MeasurementType::ThreePhase2M, 3, -31.8, 0.7},
        {"load5%", MeasurementType::ThreePhase2M, 3, -31.8, 1, 0.05},
        {"distorted", MeasurementType::ThreePhase2M, 3, -31.8, 1, 1, true},
        {"1feeder", MeasurementType::ThreePhase2M, 1},
        {"7feeders", MeasurementType::ThreePhase2M, 7},
        {"3M", MeasurementType::ThreePhase3M, 3},
        {"1P3W", MeasurementType::SinglePhase3W, 2, -18},
        {"1P2W", MeasurementType::SinglePhase2W, 2, -18},
    };
    return all;
}

std::string code(const WiringFinding& w) {
    static const char* names[] = {
        "Vmissing", "Vexchanged", "Vsequence", "Vinverted", "Vangle",   "unmeasurable", "dead",
        "apart",    "inverted",   "exchanged", "foreign",   "reverse?", "unexplained"};
    std::string c = w.feeder >= 0 ? "F" + std::to_string(w.feeder + 1) + " " : "";
    c += names[static_cast<int>(w.kind)];
    if (w.phase >= 0 && w.kind != Kind::ForeignChannel)
        c += w.feeder >= 0 ? (w.phase ? "T" : "R") : (w.phase ? "TS" : "RS");
    if (w.kind == Kind::ForeignChannel) c += "→ch" + std::to_string(w.channels[1]);
    return c;
}

struct Case {
    WiringJudgement judgement;
    std::string verdict;  // "" when the mistake does not apply to the load
};

Case runCase(const Load& l, const Mistake& m) {
    const bool three =
        l.type == MeasurementType::ThreePhase2M || l.type == MeasurementType::ThreePhase3M;
    if ((m.needsPair && !pairedChannels(l.type)) || (m.threePhaseOnly && !three) ||
        (m.needsTwoFeeders && l.feeders < 2))
        return {};
    const ConversionSettings s = settingsFor(l);
    const int target = l.feeders >= 2 ? 1 : 0;
    std::vector<double> angles(static_cast<std::size_t>(l.feeders), l.angleDeg);
    // A crosswise clamp shows only where the two feeders' loads differ.
    if (m.needsTwoFeeders) angles[0] = l.angleDeg <= -20 ? 25.8 : -60;
    std::vector<Tones> ch = soundChannels(l, s, angles);
    m.apply(ch, s, target);
    const Recording rec = test::makeRecording(10000, 50, 2000, ch);
    WindowWaveforms window;
    const WiringCheckResult check = runWiringCheck(rec, s, window);
    Case c{judgeWiring(check, s, rec.header.countsPerDiv), ""};
    for (const WiringFinding& w : c.judgement.findings)
        c.verdict += (c.verdict.empty() ? "" : ", ") + code(w);
    if (c.verdict.empty()) c.verdict = "-";
    return c;
}

bool has(const WiringJudgement& j, Kind kind, int feeder, int phase = -2) {
    for (const WiringFinding& w : j.findings)
        if (w.kind == kind && w.feeder == feeder && (phase == -2 || w.phase == phase)) return true;
    return false;
}

/// What each mistake must be called; the single-phase types see some as others.
bool expected(const Load& l, const Mistake& m, const WiringJudgement& j) {
    const int t = l.feeders >= 2 ? 1 : 0;
    const bool single = !pairedChannels(l.type);
    const std::string name = m.name;
    if (name == "correct") return j.findings.empty();
    // Nothing but the expected finding may be called a mistake.
    auto only = [&](Kind kind, int feeder, int phase = -2) {
        if (!has(j, kind, feeder, phase)) return false;
        for (const WiringFinding& w : j.findings)
            if (!(w.kind == kind && w.feeder == feeder) && !w.notice) return false;
        return true;
    };
    if (name == "R inverted")
        return single ? only(Kind::ReversePower, t) : only(Kind::CurrentInverted, t, 0);
    if (name == "T inverted") return only(Kind::CurrentInverted, t, 1);
    if (name == "R/T exchanged") return only(Kind::CurrentsExchanged, t);
    if (name == "both reversed") return only(Kind::ReversePower, t);
    if (name == "T from F1") {
        // Both feeders of the crosswise pair, and nothing else.
        return j.findings.size() == 2 && has(j, Kind::ForeignChannel, t, 1) &&
               has(j, Kind::ForeignChannel, 0, 1) && j.findings[0].channels[1] == 6;
    }
    if (name == "T dead") return only(Kind::ChannelDead, t, 1);
    if (name == "T clamp x3.5") return only(Kind::MagnitudesApart, t);
    if (name == "V exchanged") return only(Kind::VoltagesExchanged, -1);
    if (name == "R-S inverted") return only(Kind::VoltageInverted, -1, 0);
    if (name == "T-S inverted") return only(Kind::VoltageInverted, -1, 1);
    if (name == "T-S missing") return only(Kind::VoltageMissing, -1, 1);
    return false;
}

TEST(WiringFindings, Table) {
    std::printf("| mistake (on F2; F1 with one feeder) |");
    for (const Load& l : loads()) std::printf(" %s |", l.name);
    std::printf("\n|---|");
    for (std::size_t i = 0; i < loads().size(); ++i) std::printf("---|");
    std::printf("\n");
    for (const Mistake& m : mistakes()) {
        std::printf("| %s |", m.name);
        for (const Load& l : loads()) {
            const Case c = runCase(l, m);
            if (c.verdict.empty()) {
                std::printf(" n/a |");
                continue;
            }
            const bool ok = expected(l, m, c.judgement);
            std::printf(" %s%s |", c.verdict.c_str(), ok ? "" : " ✗");
            EXPECT_TRUE(ok) << m.name << " under " << l.name << ": " << c.verdict;
        }
        std::printf("\n");
    }
}

TEST(WiringFindings, LightLoadAndDeadPairAreUnmeasurableNotFaults) {
    for (const double load : {0.005, 0.0}) {
        const Load l{"light", MeasurementType::ThreePhase2M, 2, -30, 1, load};
        const Case c = runCase(l, mistakes()[0]);
        ASSERT_EQ(c.judgement.findings.size(), 2u) << c.verdict;
        for (const WiringFinding& w : c.judgement.findings) {
            EXPECT_EQ(w.kind, Kind::CurrentUnmeasurable);
            EXPECT_TRUE(w.notice);
        }
    }
}

// A system whose own phase order is reversed, wired soundly: the currents follow the
// measured voltages, so the check tells the order as a fact and proposes no exchange.
TEST(WiringFindings, ReversedSystemOrderIsAFactNotAMistake) {
    const Load l{"reversed", MeasurementType::ThreePhase2M, 3, -30};
    const ConversionSettings s = settingsFor(l);
    std::vector<Tones> ch = soundChannels(l, s, {-30, -30, -30});
    for (Tone& t : ch[0]) t.phaseDeg = -t.phaseDeg;  // R-S at -30°, T-S at -90°
    for (Tone& t : ch[1]) t.phaseDeg = -t.phaseDeg;
    for (int f = 0; f < 3; ++f)
        for (Tone& t : ch[slotOf(s, 2 * f + 3)]) t.phaseDeg -= 240;  // T at -120° from R
    const Recording rec = test::makeRecording(10000, 50, 2000, ch);
    WindowWaveforms window;
    const WiringJudgement j = judgeWiring(runWiringCheck(rec, s, window), s, 80);
    ASSERT_EQ(j.findings.size(), 1u);
    EXPECT_EQ(j.findings[0].kind, Kind::ReversedSequence);
    EXPECT_TRUE(j.findings[0].notice);
    EXPECT_EQ(j.findings[0].fix.kind, WiringFixKind::None);
}

TEST(WiringFindings, FixesNameTheSettingsThatPutThemRight) {
    const Load l{"pf", MeasurementType::ThreePhase2M, 3, -30};
    auto fixOf = [&](const char* mistake, Kind kind) {
        for (const Mistake& m : mistakes()) {
            if (std::string(m.name) != mistake) continue;
            for (const WiringFinding& w : runCase(l, m).judgement.findings)
                if (w.kind == kind) return w.fix;
        }
        return WiringFix{WiringFixKind::None, -1};
    };
    const WiringFix exchange = fixOf("R/T exchanged", Kind::CurrentsExchanged);
    EXPECT_EQ(exchange.kind, WiringFixKind::ExchangeChannels);
    EXPECT_EQ(exchange.entries, (std::array<int, 2>{4, 5}));
    const WiringFix crosswise = fixOf("T from F1", Kind::ForeignChannel);
    EXPECT_EQ(crosswise.kind, WiringFixKind::ExchangeChannels);
    EXPECT_EQ(crosswise.entries, (std::array<int, 2>{3, 5}));
    const WiringFix reverse = fixOf("both reversed", Kind::ReversePower);
    EXPECT_EQ(reverse.kind, WiringFixKind::InvertCurrent);
    EXPECT_EQ(reverse.index, 1);
    EXPECT_TRUE(reverse.on);
    EXPECT_EQ(fixOf("V exchanged", Kind::VoltagesExchanged).kind, WiringFixKind::SwapVoltages);
    EXPECT_EQ(fixOf("T-S inverted", Kind::VoltageInverted).index, 1);
    // One clamp of a pair cannot be turned in the settings: the fix is at the clamp.
    EXPECT_EQ(fixOf("R inverted", Kind::CurrentInverted).kind, WiringFixKind::None);
}

}  // namespace
}  // namespace waveharm
