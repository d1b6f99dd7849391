#include "settings/site_profile.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <system_error>

#include "base/error.h"
#include "base/input_file.h"
#include "base/utf8_path.h"
#include "settings/choice_names.h"

// The TOML reader is used from its headers alone, in this one source file.
#define TOML_HEADER_ONLY 1
#define TOML_ENABLE_FORMATTERS 0
#include <toml++/toml.h>

namespace waveharm {

namespace {

constexpr int kFormatVersion = 1;
constexpr int kPhaseDegrees[5] = {-90, -30, 0, 30, 90};

// Reads one table of the file, refusing at the first fault with the line of the key.
class TableReader {
  public:
    TableReader(const toml::table& table, const std::string& file, std::string prefix)
        : m_table(table), m_file(file), m_prefix(std::move(prefix)) {}

    using Handler = std::function<void(const toml::node&)>;
    void on(const std::string& key, Handler handler) { m_handlers[key] = std::move(handler); }

    void read() {
        for (auto&& [key, node] : m_table) {
            const std::string name(key.str());
            m_current = name;
            m_line = static_cast<int>(key.source().begin.line);
            auto handler = m_handlers.find(name);
            if (handler == m_handlers.end()) fail("unknown key");
            handler->second(node);
            m_lines[name] = m_line;
        }
    }

    /// Line of a key read (0 when it was not in the file).
    int lineOf(const std::string& key) const {
        auto it = m_lines.find(key);
        return it == m_lines.end() ? 0 : it->second;
    }
    [[noreturn]] void failAt(const std::string& key, const std::string& reason) const {
        throw ProfileError(m_file, lineOf(key), m_prefix + key, reason);
    }
    [[noreturn]] void fail(const std::string& reason) const {
        throw ProfileError(m_file, m_line, m_prefix + m_current, reason);
    }

    double number(const toml::node& node) const {
        if (auto i = node.as_integer()) return static_cast<double>(i->get());
        if (auto f = node.as_floating_point(); f && std::isfinite(f->get())) return f->get();
        fail("a number is needed");
    }
    double positive(const toml::node& node) const {
        const double v = number(node);
        if (!(v > 0) || v > 1e9) fail("a number greater than 0 is needed");
        return v;
    }
    long long whole(const toml::node& node, long long low, long long high) const {
        auto i = node.as_integer();
        if (!i) fail("a whole number is needed");
        if (i->get() < low || i->get() > high)
            fail("must be within " + std::to_string(low) + ".." + std::to_string(high));
        return i->get();
    }
    bool flag(const toml::node& node) const {
        auto b = node.as_boolean();
        if (!b) fail("true or false is needed");
        return b->get();
    }
    std::string text(const toml::node& node, std::size_t maxBytes = kMaxProfileNameBytes) const {
        auto s = node.as_string();
        if (!s) fail("a quoted text is needed");
        const std::string& t = s->get();
        if (t.size() > maxBytes) fail("longer than " + std::to_string(maxBytes) + " bytes");
        for (unsigned char c : t)
            if (c < 0x20 || c == 0x7f) fail("control characters are not allowed");
        return t;
    }
    template <class T, std::size_t N>
    T choice(const Named<T> (&table)[N], const toml::node& node) const {
        auto s = node.as_string();
        if (!s) fail("one of " + choiceList(table) + " is needed");
        for (const auto& entry : table)
            if (entry.name == s->get()) return entry.value;
        fail("'" + s->get() + "' is not one of " + choiceList(table));
    }
    const toml::array& array(const toml::node& node, std::size_t size) const {
        auto a = node.as_array();
        if (!a || a->size() != size) fail("a list of " + std::to_string(size) + " is needed");
        return *a;
    }

  private:
    const toml::table& m_table;
    const std::string& m_file;
    std::string m_prefix;
    std::map<std::string, Handler> m_handlers;
    std::map<std::string, int> m_lines;
    std::string m_current;
    int m_line = 0;
};

FeederProfile readFeeder(const toml::table& table, const std::string& file, int index) {
    FeederProfile f;
    TableReader r(table, file, "feeder[" + std::to_string(index + 1) + "].");
    r.on("name", [&](const toml::node& n) { f.name = r.text(n); });
    r.on("ct_ratio", [&](const toml::node& n) { f.ctRatio = r.positive(n); });
    r.on("clamp_a", [&](const toml::node& n) { f.clampAmperes = r.positive(n); });
    r.on("invert", [&](const toml::node& n) { f.invertCurrent = r.flag(n); });
    r.on("line_voltage", [&](const toml::node& n) { f.lineVoltageInput = r.flag(n); });
    r.read();
    return f;
}

void readCampaign(const toml::table& table, const std::string& file, CampaignChoices& c) {
    TableReader r(table, file, "campaign.");
    // A limit table's name or the path of a limit file.
    r.on("limits", [&](const toml::node& n) { c.limits = r.text(n, 4096); });
    r.on("contract_kw", [&](const toml::node& n) { c.contractKw = r.positive(n); });
    r.read();
}

void declareTopKeys(TableReader& r, SiteProfile& p, const std::string& file) {
    r.on("waveharm_profile", [&](const toml::node& n) { r.whole(n, 1, kFormatVersion); });
    r.on("site", [&](const toml::node& n) { p.siteName = r.text(n); });
    r.on("measurement",
         [&](const toml::node& n) { p.measurementType = r.choice(kMeasurementTypeNames, n); });
    r.on("pt_ratio", [&](const toml::node& n) { p.ptRatio = int(r.whole(n, 1, 32767)); });
    r.on("samples", [&](const toml::node& n) {
        const auto v = r.whole(n, 256, 1024);
        if (v != 256 && v != 512 && v != 1024) r.fail("256, 512 or 1024 is needed");
        p.sampleCount = int(v);
    });
    r.on("harmonics",
         [&](const toml::node& n) { p.harmonicOption = r.choice(kHarmonicOptionNames, n); });
    r.on("interpolation",
         [&](const toml::node& n) { p.interpolation = r.choice(kInterpolationNames, n); });
    r.on("sync", [&](const toml::node& n) { p.syncMode = r.choice(kSyncModeNames, n); });
    r.on("save", [&](const toml::node& n) { p.saveMode = r.choice(kSaveModeNames, n); });
    r.on("phase_correction", [&](const toml::node& n) {
        const auto v = r.whole(n, -90, 90);
        if (std::find(std::begin(kPhaseDegrees), std::end(kPhaseDegrees), v) ==
            std::end(kPhaseDegrees))
            r.fail("-90, -30, 0, 30 or 90 is needed");
        p.phaseCorrectionDegrees = int(v);
    });
    r.on("swap_voltages", [&](const toml::node& n) { p.swapVoltages = r.flag(n); });
    r.on("invert_voltage", [&](const toml::node& n) {
        const toml::array& a = r.array(n, 2);
        for (std::size_t k = 0; k < 2; ++k) p.invertVoltage[k] = r.flag(*a.get(k));
    });
    r.on("under_one_minute", [&](const toml::node& n) { p.outputUnderOneMinute = r.flag(n); });
    r.on("time_offset_hours", [&](const toml::node& n) {
        const double v = r.number(n);
        if (std::abs(v) > kMaxTimeOffsetHours) r.fail("must be within ±48 hours");
        p.timeOffsetHours = v;
    });
    r.on("channels", [&](const toml::node& n) {
        const toml::array& a = r.array(n, 4);
        std::array<int, 4> c{};
        for (std::size_t q = 0; q < 4; ++q) c[q] = int(r.whole(*a.get(q), 1, 4));
        for (int i = 0; i < 4; ++i)
            for (int j = i + 1; j < 4; ++j)
                if (c[i] == c[j]) r.fail("each of R-S, T-S, R, T needs its own channel");
        p.channels = c;
    });
    r.on("shunt_ohm", [&](const toml::node& n) { p.shuntOhms = r.positive(n); });
    r.on("feeder", [&](const toml::node& n) {
        auto a = n.as_array();
        if (!a || a->empty() || a->size() > std::size_t(kMaxChannelFeeders) ||
            !a->is_array_of_tables())
            r.fail("1 to 7 [[feeder]] tables are needed");
        p.feeders.clear();
        for (std::size_t i = 0; i < a->size(); ++i)
            p.feeders.push_back(readFeeder(*a->get(i)->as_table(), file, int(i)));
    });
    r.on("campaign", [&](const toml::node& n) {
        auto t = n.as_table();
        if (!t) r.fail("a [campaign] table is needed");
        readCampaign(*t, file, p.campaign);
    });
}

void checkCombinations(const TableReader& r, const SiteProfile& p) {
    if (auto fault = profileFault(p)) r.failAt(fault->key, fault->reason);
}

std::string numberText(double v) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, v);
    return std::string(buffer, result.ptr);
}

std::string quoted(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + '"';
}

std::string boolText(bool b) { return b ? "true" : "false"; }

}  // namespace

ProfileError::ProfileError(std::string file, int line, std::string key, std::string reason)
    : std::runtime_error(file + (line > 0 ? ":" + std::to_string(line) : std::string()) + ": " +
                         (key.empty() ? std::string() : key + ": ") + reason),
      m_file(std::move(file)),
      m_line(line),
      m_key(std::move(key)),
      m_reason(std::move(reason)) {}

std::optional<ProfileFault> profileFault(const SiteProfile& p) {
    const int n = static_cast<int>(p.feeders.size());
    if (n < 1 || n > kMaxChannelFeeders) return ProfileFault{"feeder", "1 to 7 feeders are needed"};
    if (p.harmonicOption == HarmonicOption::HighOrder256 && p.sampleCount != 1024)
        return ProfileFault{"samples", "the 256-order option needs 1024 samples"};
    if (p.phaseCorrectionDegrees != 0 && p.measurementType != MeasurementType::ThreePhase1M)
        return ProfileFault{"phase_correction", "only the 3p1m type takes a phase correction"};
    if (n == 1) return std::nullopt;
    // The settings screen offers these only while one feeder is measured.
    if (p.channels) return ProfileFault{"channels", "one feeder only"};
    if (p.shuntOhms)
        return ProfileFault{"shunt_ohm", "one feeder only (several feeders use clamp_a)"};
    if (p.harmonicOption == HarmonicOption::WithSuperpositionAngle ||
        p.harmonicOption == HarmonicOption::WithUnbalance)
        return ProfileFault{"harmonics", "one feeder only (use angle-unbalance)"};
    if (p.saveMode == SaveMode::CurrentThdMax)
        return ProfileFault{"save", "ithd-max: one feeder only"};
    return std::nullopt;
}

SiteProfile parseSiteProfile(std::string_view text, const std::string& fileName) {
    toml::table root;
    try {
        root = toml::parse(text, fileName);
    } catch (const toml::parse_error& e) {
        throw ProfileError(fileName, static_cast<int>(e.source().begin.line), "",
                           std::string(e.description()));
    }
    if (!root.contains("waveharm_profile"))
        throw ProfileError(fileName, 1, "waveharm_profile", "missing: not a waveharm site profile");
    SiteProfile profile;
    TableReader reader(root, fileName, "");
    declareTopKeys(reader, profile, fileName);
    reader.read();
    checkCombinations(reader, profile);
    return profile;
}

std::string siteProfileText(const SiteProfile& p) {
    std::ostringstream out;
    out << "# waveharm site profile: the choices of one measuring site.\n"
        << "waveharm_profile = " << kFormatVersion << "\n"
        << "site = " << quoted(p.siteName) << "\n"
        << "measurement = \"" << nameOf(kMeasurementTypeNames, p.measurementType) << "\"\n"
        << "pt_ratio = " << p.ptRatio << "\n"
        << "samples = " << p.sampleCount << "\n"
        << "harmonics = \"" << nameOf(kHarmonicOptionNames, p.harmonicOption) << "\"\n"
        << "interpolation = \"" << nameOf(kInterpolationNames, p.interpolation) << "\"\n"
        << "sync = \"" << nameOf(kSyncModeNames, p.syncMode) << "\"\n"
        << "save = \"" << nameOf(kSaveModeNames, p.saveMode) << "\"\n"
        << "phase_correction = " << p.phaseCorrectionDegrees << "\n"
        << "swap_voltages = " << boolText(p.swapVoltages) << "\n"
        << "invert_voltage = [" << boolText(p.invertVoltage[0]) << ", "
        << boolText(p.invertVoltage[1]) << "]\n"
        << "under_one_minute = " << boolText(p.outputUnderOneMinute) << "\n"
        << "time_offset_hours = " << numberText(p.timeOffsetHours) << "\n";
    if (p.channels) {
        const auto& c = *p.channels;
        out << "channels = [" << c[0] << ", " << c[1] << ", " << c[2] << ", " << c[3] << "]\n";
    }
    if (p.shuntOhms) out << "shunt_ohm = " << numberText(*p.shuntOhms) << "\n";
    for (const FeederProfile& f : p.feeders) {
        out << "\n[[feeder]]\n"
            << "name = " << quoted(f.name) << "\n"
            << "ct_ratio = " << numberText(f.ctRatio) << "\n"
            << "clamp_a = " << numberText(f.clampAmperes) << "\n"
            << "invert = " << boolText(f.invertCurrent) << "\n"
            << "line_voltage = " << boolText(f.lineVoltageInput) << "\n";
    }
    out << "\n[campaign]\n"
        << "limits = " << quoted(p.campaign.limits) << "\n";
    if (p.campaign.contractKw)
        out << "contract_kw = " << numberText(*p.campaign.contractKw) << "\n";
    return out.str();
}

SiteProfile readSiteProfile(const std::filesystem::path& path) {
    const std::string name = utf8Text(path);
    std::vector<std::byte> bytes;
    try {
        bytes = readFileBytes(path, "site profile");
    } catch (const InputError& e) {
        throw ProfileError(name, 0, "", e.reason());
    }
    // A profile is small; anything large is not one.
    if (bytes.size() > 1 << 20) throw ProfileError(name, 0, "", "larger than 1 MB");
    const std::string text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return parseSiteProfile(text, name);
}

void writeSiteProfile(const std::filesystem::path& path, const SiteProfile& profile) {
    const std::string text = siteProfileText(profile);
    std::filesystem::path temporary = path;
    temporary += ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text;
        out.close();
        if (!out) {
            std::error_code ignored;
            std::filesystem::remove(temporary, ignored);
            throw std::runtime_error(utf8Text(path) + ": cannot be written");
        }
    }
    std::error_code error;
    std::filesystem::rename(temporary, path, error);
    if (error) {
        std::filesystem::remove(temporary, error);
        throw std::runtime_error(utf8Text(path) + ": cannot be written");
    }
}

SiteProfile profileChoicesOf(const ConversionSettings& s) {
    SiteProfile p;
    p.siteName = s.siteName;
    p.measurementType = s.measurementType;
    p.ptRatio = s.ptRatio;
    p.sampleCount = s.sampleCount();
    p.harmonicOption = s.harmonicOption();
    p.interpolation = s.interpolation;
    p.syncMode = s.syncMode;
    p.saveMode = s.saveMode;
    p.phaseCorrectionDegrees = s.phaseCorrectionDegrees();
    p.swapVoltages = s.swapVoltages;
    p.invertVoltage = s.invertVoltage;
    p.outputUnderOneMinute = s.outputUnderOneMinute;
    p.timeOffsetHours = s.timeOffsetHours;
    const auto n = static_cast<std::size_t>(s.feederCount);
    p.feeders.assign(n, FeederProfile{});
    for (std::size_t f = 0; f < n; ++f) {
        FeederProfile& feeder = p.feeders[f];
        feeder.name = s.feederNames[f];
        feeder.invertCurrent = f < std::size_t(kMaxChannelFeeders) && s.invertCurrent[f];
        feeder.lineVoltageInput = f < std::size_t(kMaxChannelFeeders) && s.lineVoltageInput[f];
    }
    return p;
}

}  // namespace waveharm
