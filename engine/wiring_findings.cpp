#include "engine/wiring_findings.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <limits>
#include <numbers>
#include <optional>

namespace waveharm {
namespace {

using Phasor = std::complex<double>;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kDegPerRad = 180 / std::numbers::pi;

/// Degrees wrapped into (−180, 180].
double wrapDeg(double d) {
    d = std::fmod(d, 360.0);
    if (d <= -180) d += 360;
    if (d > 180) d -= 360;
    return d;
}

double argDeg(Phasor p) { return std::arg(p) * kDegPerRad; }

WiringFinding made(WiringFindingKind kind, int feeder, int phase,
                   std::array<int, 2> channels = {}) {
    WiringFinding w;
    w.kind = kind;
    w.feeder = feeder;
    w.phase = phase;
    w.channels = channels;
    return w;
}

bool threePhase(MeasurementType t) {
    return t == MeasurementType::ThreePhase2M || t == MeasurementType::ThreePhase3M;
}

/// Phasors of every slot as fundamental peaks in recorder divisions: a slot holding
/// a·sin(ωt + φ) sums to (N/2)·a·(cos φ, sin φ).
std::vector<Phasor> slotPhasors(const WiringCheckResult& check, int n, double countsPerDiv) {
    std::vector<Phasor> p(check.fundamentalSin.size());
    const double scale = 2.0 / n / countsPerDiv;
    for (std::size_t e = 0; e < p.size() && e < check.fundamentalCos.size(); ++e)
        p[e] = Phasor(check.fundamentalSin[e], check.fundamentalCos[e]) * scale;
    return p;
}

/// The phase voltages of R and T in a three-wire system from the two line voltages
/// measured against S (they sum to zero, so Es = −(Vrs + Vts)/3).
struct PhaseReferences {
    Phasor r, t;
};

PhaseReferences phaseReferences(Phasor vrs, Phasor vts, bool threeWire) {
    if (!threeWire) return {vrs, vts};  // single-phase: each current against its own voltage
    return {(2.0 * vrs - vts) / 3.0, (2.0 * vts - vrs) / 3.0};
}

/// One reading of a feeder's pair: which channel carries R, which current is reversed.
struct PairReading {
    bool exchanged = false, invertR = false, invertT = false;
};

struct PairFit {
    PairReading reading;
    double angleR = 0, angleT = 0;
    bool positive = false;  ///< both currents deliver power under this reading
    double spread = 0;      ///< degrees between the two load angles
    bool passes(bool paired) const { return positive && (!paired || spread <= kPairAngleDeg); }
    /// How unlikely the reading is: the spread, and twice every degree a load angle lies
    /// beyond what loads show (power factor 0.5 lagging to 0.9 leading, with margin).
    double cost() const {
        auto beyond = [](double a) { return std::max({0.0, -75 - a, a - 45}); };
        return spread + 2 * (beyond(angleR) + beyond(angleT));
    }
};

PairFit fitPair(Phasor a, Phasor b, const PhaseReferences& ref, PairReading r) {
    const Phasor onR = r.exchanged ? b : a;
    const Phasor onT = r.exchanged ? a : b;
    PairFit f{r};
    f.angleR = wrapDeg(argDeg(onR) - argDeg(ref.r) + (r.invertR ? 180 : 0));
    f.angleT = wrapDeg(argDeg(onT) - argDeg(ref.t) + (r.invertT ? 180 : 0));
    f.positive = std::abs(f.angleR) < 90 && std::abs(f.angleT) < 90;
    f.spread = std::abs(wrapDeg(f.angleR - f.angleT));
    return f;
}

/// The other readings of a pair: the likeliest that delivers power on both phases.
std::optional<PairFit> bestOtherReading(Phasor a, Phasor b, const PhaseReferences& ref,
                                        bool allowExchange) {
    std::optional<PairFit> best;
    for (int code = 1; code < (allowExchange ? 8 : 4); ++code) {
        const PairReading r{(code & 4) != 0, (code & 1) != 0, (code & 2) != 0};
        const PairFit f = fitPair(a, b, ref, r);
        if (!f.positive) continue;
        if (!best || f.cost() < best->cost()) best = f;
    }
    return best;
}

class Judge {
  public:
    Judge(const WiringCheckResult& check, const ConversionSettings& s, double countsPerDiv)
        : m_s(s),
          m_type(s.measurementType),
          m_paired(pairedChannels(s.measurementType)),
          m_p(slotPhasors(check, s.sampleCount(), countsPerDiv > 0 ? countsPerDiv : 1)) {
        m_p.resize(std::max<std::size_t>(m_p.size(), 2 * kMaxChannelFeeders + 2));
    }

    WiringJudgement run() {
        m_j.judged = m_type != MeasurementType::ThreePhase1M;
        m_j.voltageAmplitudeDiv = {std::abs(m_p[0]), m_paired ? std::abs(m_p[1]) : 0.0};
        m_j.voltageAngleDeg = m_paired ? wrapDeg(argDeg(m_p[1]) - argDeg(m_p[0])) : 0.0;
        m_j.feeders.resize(static_cast<std::size_t>(m_s.feederCount));
        for (auto& f : m_j.feeders) f.loadAngleDeg = {kNaN, kNaN};
        if (!m_j.judged) return m_j;
        const std::optional<PhaseReferences> ref = judgeVoltages();
        for (int f = 0; f < m_s.feederCount; ++f) judgeFeeder(f, ref);
        return m_j;
    }

  private:
    int channelOf(int entry) const { return m_s.channelMap[static_cast<std::size_t>(entry)]; }
    double amplitude(int entry) const { return std::abs(m_p[static_cast<std::size_t>(entry)]); }
    Phasor phasor(int entry) const { return m_p[static_cast<std::size_t>(entry)]; }

    void add(WiringFinding f) { m_j.findings.push_back(f); }

    /// Voltage readings that turn the measured pair into a sound one: exchanged,
    /// one inverted, or both; each scored by how many feeders it explains.
    struct VoltageReading {
        bool swap = false;
        int invert = -1;  ///< slot inverted after the exchange
        bool ownOrder = false;
    };

    PhaseReferences referencesFor(VoltageReading r) const {
        Phasor v0 = r.swap ? m_p[1] : m_p[0];
        Phasor v1 = r.swap ? m_p[0] : m_p[1];
        if (r.invert == 0) v0 = -v0;
        if (r.invert == 1) v1 = -v1;
        return phaseReferences(v0, v1, threePhase(m_type));
    }

    int feedersExplained(const PhaseReferences& ref) const {
        int n = 0;
        for (int f = 0; f < m_s.feederCount; ++f) {
            const int a = 2 * f + 2, b = 2 * f + 3;
            if (!measurable(a) || (m_paired && !measurable(b))) continue;
            const PairFit fit = fitPair(phasor(a), m_paired ? phasor(b) : phasor(a), ref, {});
            if (fit.passes(threePhase(m_type))) ++n;
        }
        return n;
    }

    bool measurable(int entry) const { return amplitude(entry) >= kMeasurableDiv; }

    std::optional<PhaseReferences> judgeVoltages() {
        const double m0 = amplitude(0), m1 = amplitude(1);
        if (!m_paired) {
            if (m0 >= kMeasurableDiv) return PhaseReferences{m_p[0], m_p[0]};
            add(made(WiringFindingKind::VoltageMissing, -1, 0, {channelOf(0), 0}));
            return std::nullopt;
        }
        bool missing = false;
        for (int k = 0; k < 2; ++k) {
            const double mine = k ? m1 : m0, other = k ? m0 : m1;
            if (mine < kMeasurableDiv || mine < kDeadShare * other) {
                add(made(WiringFindingKind::VoltageMissing, -1, k, {channelOf(k), 0}));
                missing = true;
            }
        }
        if (missing) return std::nullopt;

        // A sound pair: T-S leads R-S by 60° (three-phase) or stands opposite it
        // (single-phase three-wire, both measured against the neutral).
        const double expected = threePhase(m_type) ? 60 : 180;
        const double d = m_j.voltageAngleDeg;
        auto near = [&](double target) {
            return std::abs(wrapDeg(d - target)) <= kVoltageAngleDeg;
        };
        std::vector<VoltageReading> readings;
        if (near(expected)) {
            readings.push_back({});
        } else if (threePhase(m_type) && near(-60)) {
            readings = {{true, -1, false}, {false, -1, true}};
        } else if (near(expected + 180)) {
            readings = {{false, 0, false}, {false, 1, false}};
        } else if (threePhase(m_type) && near(120)) {
            readings = {{true, 0, false}, {true, 1, false}};
        } else {
            WiringFinding w =
                made(WiringFindingKind::VoltageAngle, -1, -1, {channelOf(0), channelOf(1)});
            w.value = d;
            add(w);
            return std::nullopt;
        }

        std::vector<int> scores;
        for (const VoltageReading& r : readings)
            scores.push_back(feedersExplained(referencesFor(r)));
        const auto best = static_cast<std::size_t>(std::max_element(scores.begin(), scores.end()) -
                                                   scores.begin());
        const VoltageReading r = readings[best];
        const bool undecided =
            readings.size() > 1 && scores[best] == scores[1 - best] && r.invert >= 0;
        if (r.ownOrder) {
            WiringFinding f =
                made(WiringFindingKind::ReversedSequence, -1, -1, {channelOf(0), channelOf(1)});
            f.notice = true;
            add(f);
        }
        if (r.swap) {
            WiringFinding f =
                made(WiringFindingKind::VoltagesExchanged, -1, -1, {channelOf(0), channelOf(1)});
            f.fix = {WiringFixKind::SwapVoltages, 0, !m_s.swapVoltages, {}};
            add(f);
        }
        if (r.invert >= 0) {
            WiringFinding f =
                made(WiringFindingKind::VoltageInverted, -1, undecided ? -1 : r.invert);
            if (!undecided) {
                f.channels = {channelOf(r.invert), 0};
                f.fix = {WiringFixKind::InvertVoltage,
                         r.invert,
                         !m_s.invertVoltage[static_cast<std::size_t>(r.invert)],
                         {}};
            }
            add(f);
        }
        return referencesFor(r);
    }

    void judgeFeeder(int f, const std::optional<PhaseReferences>& ref) {
        const int a = 2 * f + 2, b = 2 * f + 3;
        FeederPhasors& out = m_j.feeders[static_cast<std::size_t>(f)];
        out.amplitudeDiv = {amplitude(a), m_paired ? amplitude(b) : 0.0};
        auto finding = [&](WiringFindingKind kind, int phase) {
            WiringFinding w = made(kind, f, phase);
            if (phase >= 0) w.channels = {channelOf(phase ? b : a), 0};
            return w;
        };
        auto notice = [&](WiringFindingKind kind) {
            WiringFinding w = finding(kind, -1);
            w.notice = true;
            add(w);
        };

        const double ma = amplitude(a), mb = m_paired ? amplitude(b) : ma;
        const double high = std::max(ma, mb), low = std::min(ma, mb);
        if (high < kMeasurableDiv) return notice(WiringFindingKind::CurrentUnmeasurable);
        if (low < kDeadShare * high)
            return add(finding(WiringFindingKind::ChannelDead, ma < mb ? 0 : 1));
        if (low < kMeasurableDiv) return notice(WiringFindingKind::CurrentUnmeasurable);
        if (high > kApartRatio * low) {
            WiringFinding w = finding(WiringFindingKind::MagnitudesApart, -1);
            w.channels = {channelOf(a), channelOf(b)};
            w.value = high / low;
            w.notice = true;
            add(w);
        }
        if (!ref) return;

        const Phasor pa = phasor(a), pb = m_paired ? phasor(b) : pa;
        const PairFit asSet = fitPair(pa, pb, *ref, {});
        out.loadAngleDeg = {asSet.angleR, m_paired ? asSet.angleT : kNaN};
        const bool pairAngles = threePhase(m_type);
        if (!m_paired) {
            // One current: only its direction can be judged.
            if (!asSet.positive) {
                WiringFinding w = finding(WiringFindingKind::ReversePower, -1);
                w.notice = true;
                if (f < kMaxChannelFeeders) {
                    w.fix = {WiringFixKind::InvertCurrent,
                             f,
                             !m_s.invertCurrent[static_cast<std::size_t>(f)],
                             {}};
                }
                add(w);
            }
            return;
        }
        if (asSet.passes(pairAngles)) return;

        const std::optional<PairFit> own = bestOtherReading(pa, pb, *ref, pairAngles);
        const bool ownPasses = own && own->passes(pairAngles);
        if (pairAngles && m_s.feederCount > 1 &&
            judgeForeign(f, *ref, ownPasses ? own : std::nullopt))
            return;
        if (!ownPasses) return add(finding(WiringFindingKind::AnglesUnexplained, -1));

        const PairReading r = own->reading;
        if (r.exchanged) {
            WiringFinding w = finding(WiringFindingKind::CurrentsExchanged, -1);
            w.channels = {channelOf(a), channelOf(b)};
            w.fix = {WiringFixKind::ExchangeChannels, f, true, {a, b}};
            add(w);
        }
        if (r.invertR && r.invertT) {
            WiringFinding w = finding(WiringFindingKind::ReversePower, -1);
            w.notice = true;
            if (f < kMaxChannelFeeders) {
                w.fix = {WiringFixKind::InvertCurrent,
                         f,
                         !m_s.invertCurrent[static_cast<std::size_t>(f)],
                         {}};
            }
            add(w);
        } else if (r.invertR || r.invertT) {
            const int phase = r.invertR ? 0 : 1;
            // The reversed current's channel as the wiring stands.
            WiringFinding w = finding(WiringFindingKind::CurrentInverted, phase);
            w.channels = {channelOf((phase == 0) != r.exchanged ? a : b), 0};
            add(w);
        }
    }

    /// A feeder whose angles fit no reading of its own pair, but do when one of its
    /// currents is exchanged with another feeder's channel (clamps plugged crosswise):
    /// the exchange must leave both feeders sound, and of several such the one that
    /// brings each pair's R and T magnitudes closest wins.
    bool judgeForeign(int f, const PhaseReferences& ref, const std::optional<PairFit>& own) {
        const int a = 2 * f + 2, b = 2 * f + 3;
        double bestCost = 0, bestOwnCost = 0;
        int bestX = 0, bestY = 0;
        auto pairCost = [&](Phasor r, Phasor t, double& mine) {
            const PairFit fit = fitPair(r, t, ref, {});
            mine = fit.cost();
            const double apart = std::abs(std::log(std::abs(r) / std::abs(t)));
            return fit.passes(true) ? mine + 50 * apart : -1.0;
        };
        for (int g = 0; g < m_s.feederCount; ++g) {
            if (g == f) continue;
            const int ga = 2 * g + 2, gb = 2 * g + 3;
            for (int y = ga; y <= gb; ++y) {
                for (const int x : {a, b}) {
                    if (!measurable(y)) continue;
                    double mine = 0, theirs = 0;
                    const double costF = pairCost(x == a ? phasor(y) : phasor(a),
                                                  x == b ? phasor(y) : phasor(b), mine);
                    const double costG = pairCost(y == ga ? phasor(x) : phasor(ga),
                                                  y == gb ? phasor(x) : phasor(gb), theirs);
                    if (costF < 0 || costG < 0) continue;
                    // R clamps crossed and T clamps crossed read alike (the feeders'
                    // names aside); the T channels are named first.
                    const double cost = costF + costG + (x == a ? 1 : 0);
                    if (bestX && cost >= bestCost) continue;
                    bestCost = cost;
                    bestOwnCost = mine;
                    bestX = x;
                    bestY = y;
                }
            }
        }
        // The pair's own readings win unless the exchange fits clearly better.
        if (!bestX || (own && bestOwnCost + 20 >= own->cost())) return false;
        WiringFinding w = made(WiringFindingKind::ForeignChannel, f, bestX == a ? 0 : 1,
                               {channelOf(bestX), channelOf(bestY)});
        w.fix = {WiringFixKind::ExchangeChannels, f, true, {bestX, bestY}};
        add(w);
        return true;
    }

    const ConversionSettings& m_s;
    MeasurementType m_type;
    bool m_paired;
    std::vector<Phasor> m_p;
    WiringJudgement m_j;
};

}  // namespace

WiringJudgement judgeWiring(const WiringCheckResult& check, const ConversionSettings& settings,
                            double countsPerDiv) {
    return Judge(check, settings, countsPerDiv).run();
}

}  // namespace waveharm
