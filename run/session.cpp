#include "run/session.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "base/utf8_path.h"
#include "exchange/channel_map.h"
#include "output/result_writer.h"
#include "run/record_reading.h"

namespace waveharm {

namespace {

// A note that names only a file or folder.
SessionNote noteOn(SessionNote::Kind kind, std::string file) {
    SessionNote note;
    note.kind = kind;
    note.file = std::move(file);
    return note;
}

std::string trimmed(const std::string& text) {
    const auto begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos) return {};
    const auto end = text.find_last_not_of(" \t");
    return text.substr(begin, end - begin + 1);
}

// The value a box's text holds, or `fallback` while it holds nothing usable.
double boxValue(RatioBox box, const std::string& text, double fallback) {
    return positiveValue(box, text).value_or(fallback);
}

// The one-feeder channel layout a measurement type starts with: the R current beside
// the line voltage on ch2 when each feeder has one channel.
std::array<int, 4> defaultChannels(MeasurementType type) {
    if (pairedChannels(type)) return {1, 2, 3, 4};
    return {1, 3, 2, 4};
}

}  // namespace

void Session::scanFolder(const std::filesystem::path& folder) {
    if (folder.lexically_normal() != m_folder.lexically_normal() &&
        !m_settings.outputFileName.empty()) {
        // Another campaign: its results must not go under the last one's name.
        m_chosenName.clear();
        m_settings.outputFileName.clear();
        m_outputNameCleared = true;
    }
    m_folder = folder;
    m_scanNotes.clear();
    try {
        m_files = scanInputFolder(folder, m_settings);
    } catch (const InputError& e) {
        m_files = WaveformFileList{};
        m_files.folder = folder;
        m_scanNotes.push_back(
            {SessionNote::Kind::NotARecording, e.file(), e.kind(), e.offset(), e.reason()});
    } catch (const std::exception&) {
        m_files = WaveformFileList{};
        m_files.folder = folder;
        m_scanNotes.push_back(noteOn(SessionNote::Kind::FolderUnreadable, utf8Text(folder)));
    }
    for (const auto& r : m_files.renamed)
        m_scanNotes.push_back(noteOn(SessionNote::Kind::Renamed, r));
    // The scan's only write is the rename of a duplicate name; every other problem is a
    // file that does not read as a recording.
    for (const ScanProblem& p : m_files.problems) {
        const auto kind = p.kind == ErrorKind::CannotCreate ? SessionNote::Kind::NotRenamed
                                                            : SessionNote::Kind::NotARecording;
        m_scanNotes.push_back({kind, p.file, p.kind, p.offset, p.reason});
    }

    // With one file or none the user picks the file.
    m_currentFileName.clear();
    if (m_files.count() <= 1) {
        readCurrent(true);
        return;
    }
    // The earliest readable recording becomes current. Files whose start could not be
    // read sort first; they are tried only when no dated one reads.
    const int first = std::max(0, m_files.firstDatedIndex());
    std::vector<int> order;
    for (int i = first; i < m_files.count(); ++i) order.push_back(i);
    for (int i = 0; i < first; ++i) order.push_back(i);
    for (const int i : order) {
        m_currentFileName = m_files.names[static_cast<std::size_t>(i)];
        readCurrent(true);
        if (m_recording) return;
    }
    // None reads: the earliest stays current with its reason shown.
    m_currentFileName = m_files.names[static_cast<std::size_t>(order.front())];
    readCurrent(true);
}

void Session::setWevFiles(bool on) {
    m_settings.wevFiles = on;
    scanFolder(m_folder);
}

namespace {

bool namesChannelsOf(const RecordChannelMap& map, const ChannelRecord& record) {
    for (const std::string& expression : map.expressions) {
        if (expression.empty()) continue;
        try {
            resolveChannel(record, expression);
        } catch (const std::invalid_argument&) {
            return false;
        }
    }
    return true;
}

}  // namespace

void Session::setRecordFormat(RecordFormat format) {
    m_settings.records.format = format;
    scanFolder(m_folder);
}

void Session::setCsvRate(std::optional<double> rate) {
    m_settings.records.csvRate = rate;
    readCurrent(false);
}

void Session::setChannelMapEntry(int quantity, const std::string& expression) {
    m_settings.records.channelMap.expressions.at(static_cast<std::size_t>(quantity)) = expression;
    if (m_record) settleRecord(false);
}

void Session::setRecordRatiosGiven(bool given) {
    m_settings.records.ratiosGiven = given;
    if (m_record) buildRecordRecording();
}

bool Session::proposeChannelMap() {
    if (!m_record) return false;
    const RecordChannelMap proposal =
        waveharm::proposeChannelMap(*m_record, m_settings.measurementType, m_settings.feederCount);
    if (proposal.empty()) return false;
    m_settings.records.channelMap = proposal;
    settleRecord(false);
    return true;
}

ConversionSettings Session::analysisSettings() const {
    if (m_settings.records.format == RecordFormat::Recorder) return m_settings;
    return settingsForRecords(m_settings);
}

void Session::selectFile(const std::string& name) {
    m_currentFileName = name;
    readCurrent(false);
}

void Session::readCurrent(bool fromScan) {
    m_readError.reset();
    m_recording.reset();
    m_record.reset();
    if (m_currentFileName.empty()) return;
    const std::filesystem::path path = m_folder / utf8Path(m_currentFileName);
    ReadOptions options = ReadOptions::from(m_settings);
    try {
        if (m_settings.records.format != RecordFormat::Recorder) {
            readCurrentRecord(path, fromScan);
            return;
        }
        m_recording = readRecording(path, options);
    } catch (const InputError& e) {
        // No samples are kept under another file's description.
        m_readError = SessionNote{SessionNote::Kind::ReadFailed, m_currentFileName, e.kind(),
                                  e.offset(), e.reason()};
        return;
    } catch (const std::exception&) {
        m_readError = noteOn(SessionNote::Kind::ReadAborted, m_currentFileName);
        return;
    }
    // The analysis handles the currents of at most seven feeders.
    m_offeredFeeders = std::clamp(maxFeederCount(m_recording->header, m_settings.measurementType),
                                  1, kMaxChannelFeeders);
    const int current = m_settings.feederCount;
    const int selected = fromScan ? m_offeredFeeders : std::min(current, m_offeredFeeders);
    if (fromScan || selected != current) chooseFeederCount(selected);
}

void Session::readCurrentRecord(const std::filesystem::path& path, bool fromScan) {
    m_record = readChannelRecord(path, m_settings.records);
    settleRecord(fromScan);
}

void Session::settleRecord(bool fromScan) {
    // The map proposed from the channels' phases and units, for the user to confirm; a
    // folder of another instrument's records gets its own.
    if (m_settings.records.channelMap.empty() ||
        (fromScan && !namesChannelsOf(m_settings.records.channelMap, *m_record)))
        m_settings.records.channelMap =
            waveharm::proposeChannelMap(*m_record, m_settings.measurementType);
    // A record offers the feeders its channel map gives currents for.
    m_offeredFeeders = std::clamp(recordFeederCount(*m_record, m_settings), 1, kMaxChannelFeeders);
    const int current = m_settings.feederCount;
    const int selected = fromScan ? m_offeredFeeders : std::min(current, m_offeredFeeders);
    if (fromScan || selected != current)
        chooseFeederCount(selected);  // which makes the recording
    else
        buildRecordRecording();
}

void Session::buildRecordRecording() {
    m_recording.reset();
    m_readError.reset();
    if (!m_record) return;
    // The quantities of the map fill the slots of the feeder count and channel settings.
    try {
        Recording recording;
        recordingFromRecord(*m_record, m_currentFileName, m_settings, recording);
        m_recording = std::move(recording);
    } catch (const InputError& e) {
        m_readError = SessionNote{SessionNote::Kind::ReadFailed, m_currentFileName, e.kind(),
                                  e.offset(), e.reason()};
    }
}

MeasurementTypeEffects Session::setMeasurementType(MeasurementType type) {
    const MeasurementTypeEffects e = applyMeasurementType(m_settings, type);
    // The channels per feeder change the feeder counts the recording offers.
    readCurrent(false);
    return e;
}

void Session::setSwapVoltages(bool on) {
    m_settings.swapVoltages = on;
    readCurrent(false);
}

void Session::setInvertVoltage(int k, bool on) {
    m_settings.invertVoltage.at(static_cast<std::size_t>(k)) = on;
    readCurrent(false);
}

FeederCountEffects Session::chooseFeederCount(int n) {
    const FeederCountEffects e = applyFeederCount(m_settings, n);
    settleShownRatios();
    applyOutputName();
    if (m_record) buildRecordRecording();
    return e;
}

void Session::setHarmonicOption(HarmonicOption option) {
    m_settings.setHarmonicOption(option);
    applyOutputName();
}

bool Session::chooseSampleCount(int count) {
    return waveharm::chooseSampleCount(m_settings, count);
}

bool Session::choosePhaseCorrection(int index) {
    return waveharm::choosePhaseCorrection(m_settings, index);
}

void Session::chooseChannel(ChosenQuantity q, int channel) {
    waveharm::chooseChannel(m_settings, q, channel);
}

void Session::setSyncMode(SyncMode mode) { m_settings.syncMode = mode; }

void Session::setSaveMode(SaveMode mode) { m_settings.saveMode = mode; }

void Session::setInterpolation(InterpolationMode mode) { m_settings.interpolation = mode; }

void Session::setOutputUnderOneMinute(bool on) { m_settings.outputUnderOneMinute = on; }

void Session::setFeederInput(int box, bool on) {
    const int b = box >= 14 ? box - 14 : box;
    const auto feeder = static_cast<std::size_t>(b / 2);
    if (b % 2 == 0)
        m_settings.invertCurrent.at(feeder) = on;
    else
        m_settings.lineVoltageInput.at(feeder) = on;
    // A record's currents are placed, and inverted, as it is made a recording.
    if (m_record) buildRecordRecording();
}

void Session::exchangeChannels(int entryA, int entryB) {
    auto& map = m_settings.channelMap;
    std::swap(map.at(static_cast<std::size_t>(entryA)), map.at(static_cast<std::size_t>(entryB)));
}

void Session::applyWiringFix(const WiringFix& fix) {
    switch (fix.kind) {
        case WiringFixKind::None:
            return;
        case WiringFixKind::SwapVoltages:
            return setSwapVoltages(fix.on);
        case WiringFixKind::InvertVoltage:
            return setInvertVoltage(fix.index, fix.on);
        case WiringFixKind::InvertCurrent:
            return setFeederInput(2 * fix.index, fix.on);
        case WiringFixKind::ExchangeChannels:
            return exchangeChannels(fix.entries[0], fix.entries[1]);
    }
}

void Session::settleShownRatios() {
    // The boxes shown are the ones the run uses: after the groups are exchanged the
    // settings take the values of the boxes now on screen.
    auto settle = [](std::string& text, RatioBox kind) {
        text = restoredText(kind, text);
        return static_cast<float>(*positiveValue(kind, text));
    };
    if (m_settings.feederCount == 1) {
        m_settings.ctRatio[0] = settle(m_texts.ctRatio, RatioBox::CtRatio);
        m_settings.currentSenseOhms[0] = settle(m_texts.sense.shunt, RatioBox::Shunt);
        return;
    }
    for (std::size_t f = 0; f < kMaxFeeders; ++f) {
        m_settings.ctRatio[f] = settle(m_texts.feederCt[f], RatioBox::CtRatio);
        m_settings.currentSenseOhms[f] =
            clampRangeToSenseOhms(settle(m_texts.feederClamp[f], RatioBox::FeederClamp));
    }
}

void Session::typeText(SessionBox box, int feeder, const std::string& text) {
    const auto f = static_cast<std::size_t>(feeder);
    switch (box) {
        case SessionBox::PtRatio:
            m_texts.ptRatio = text;
            if (auto v = positiveValue(RatioBox::PtRatio, text))
                m_settings.ptRatio = static_cast<std::int16_t>(*v);
            return;
        case SessionBox::CtRatio:
            m_texts.ctRatio = text;
            if (auto v = positiveValue(RatioBox::CtRatio, text))
                m_settings.ctRatio[0] = static_cast<float>(*v);
            return;
        case SessionBox::Shunt:
            // The shunt and the clamp range take effect when their box is left.
            m_texts.sense.shunt = text;
            return;
        case SessionBox::Clamp:
            m_texts.sense.clamp = text;
            return;
        case SessionBox::FeederCt:
            m_texts.feederCt.at(f) = text;
            if (auto v = positiveValue(RatioBox::CtRatio, text))
                m_settings.ctRatio.at(f) = static_cast<float>(*v);
            return;
        case SessionBox::FeederClamp:
            m_texts.feederClamp.at(f) = text;
            if (auto v = positiveValue(RatioBox::FeederClamp, text))
                m_settings.currentSenseOhms.at(f) = clampRangeToSenseOhms(*v);
            return;
        case SessionBox::TimeOffset: {
            m_texts.timeOffset = text;
            double hours = 0;
            if (!parseTimeOffsetHours(text, hours)) return;
            // The start time shown and the file order's times carry the correction.
            m_settings.timeOffsetHours = hours;
            readCurrent(false);
            return;
        }
    }
}

void Session::leaveBox(SessionBox box, int feeder) {
    switch (box) {
        case SessionBox::PtRatio:
            typeText(box, feeder, restoredText(RatioBox::PtRatio, m_texts.ptRatio));
            return;
        case SessionBox::CtRatio:
            typeText(box, feeder, restoredText(RatioBox::CtRatio, m_texts.ctRatio));
            return;
        case SessionBox::Shunt:
            m_texts.sense = applyShunt(m_settings, m_texts.sense.shunt);
            return;
        case SessionBox::Clamp:
            m_texts.sense = applyClampRange(m_settings, m_texts.sense.clamp);
            return;
        case SessionBox::FeederCt:
            copyCtRatioDown(m_settings, m_texts.feederCt, feeder);
            return;
        case SessionBox::FeederClamp:
            copyClampRangeDown(m_settings, m_texts.feederClamp, feeder);
            return;
        case SessionBox::TimeOffset: {
            double hours = 0;
            if (!parseTimeOffsetHours(m_texts.timeOffset, hours)) typeText(box, feeder, "0");
            return;
        }
    }
}

void Session::setSiteName(const std::string& name) { m_settings.siteName = trimmed(name); }

void Session::setFeederName(int feeder, const std::string& name) {
    m_settings.feederNames.at(static_cast<std::size_t>(feeder)) = trimmed(name);
}

SiteProfile Session::profile() const {
    const ConversionSettings& s = m_settings;
    SiteProfile p = profileChoicesOf(s);
    p.campaign = m_campaign;
    const int n = s.feederCount;
    for (int f = 0; f < n; ++f) {
        const auto i = static_cast<std::size_t>(f);
        FeederProfile& feeder = p.feeders[i];
        // The values as typed, so that the profile scales as the boxes do.
        if (n == 1) {
            feeder.ctRatio = boxValue(RatioBox::CtRatio, m_texts.ctRatio, s.ctRatio[0]);
            feeder.clampAmperes = boxValue(RatioBox::Clamp, m_texts.sense.clamp, 2);
        } else {
            feeder.ctRatio = boxValue(RatioBox::CtRatio, m_texts.feederCt[i], s.ctRatio[i]);
            feeder.clampAmperes = boxValue(RatioBox::FeederClamp, m_texts.feederClamp[i], 2);
        }
    }
    if (n == 1) {
        if (!m_clampChosen)
            p.shuntOhms = boxValue(RatioBox::Shunt, m_texts.sense.shunt, s.currentSenseOhms[0]);
        const std::array<int, 4> channels{s.channelMap[0], s.channelMap[1], s.channelMap[2],
                                          s.channelMap[3]};
        if (channels != defaultChannels(s.measurementType)) p.channels = channels;
    }
    return p;
}

void Session::applyProfile(const SiteProfile& p) {
    // The type decides the feeder counts the recording offers.
    setMeasurementType(p.measurementType);
    const int wanted = static_cast<int>(p.feeders.size());
    const int n = m_recording ? std::min(wanted, m_offeredFeeders) : wanted;
    auto feederAt = [&p](int f) -> const FeederProfile& {
        // Feeders beyond the profile's repeat its last, as the boxes copy down.
        return p.feeders[static_cast<std::size_t>(std::min<int>(f, int(p.feeders.size()) - 1))];
    };
    for (int f = 0; f < kMaxFeeders; ++f) {
        m_texts.feederCt[static_cast<std::size_t>(f)] = formatBoxNumber(feederAt(f).ctRatio);
        m_texts.feederClamp[static_cast<std::size_t>(f)] =
            formatBoxNumber(feederAt(f).clampAmperes);
    }
    m_texts.ctRatio = formatBoxNumber(p.feeders.front().ctRatio);
    m_clampChosen = !p.shuntOhms;
    if (p.shuntOhms) {
        m_texts.sense = applyShunt(m_settings, formatBoxNumber(*p.shuntOhms));
    } else {
        m_texts.sense =
            applyClampRange(m_settings, formatBoxNumber(p.feeders.front().clampAmperes));
    }
    // The feeder count forces its options first; the profile's own follow.
    chooseFeederCount(n);
    setHarmonicOption(p.harmonicOption);
    chooseSampleCount(p.sampleCount);
    m_settings.interpolation = p.interpolation;
    m_settings.syncMode = p.syncMode;
    m_settings.saveMode = p.saveMode;
    for (int i = 0; i < 5; ++i)
        if (phaseCorrectionDegreesFor(i) == p.phaseCorrectionDegrees) choosePhaseCorrection(i);
    m_settings.outputUnderOneMinute = p.outputUnderOneMinute;
    m_settings.swapVoltages = p.swapVoltages;
    m_settings.invertVoltage = p.invertVoltage;
    if (n == 1 && p.channels) {
        for (int q = 0; q < 4; ++q)
            m_settings.channelMap[static_cast<std::size_t>(q)] =
                static_cast<std::int16_t>((*p.channels)[static_cast<std::size_t>(q)]);
    }
    m_settings.siteName = p.siteName;
    for (int f = 0; f < kMaxFeeders; ++f) {
        const auto i = static_cast<std::size_t>(f);
        const bool given = f < wanted;
        m_settings.feederNames[i] = given ? p.feeders[i].name : std::string();
        if (f < kMaxChannelFeeders) {
            m_settings.invertCurrent[i] = given && p.feeders[i].invertCurrent;
            m_settings.lineVoltageInput[i] = given && p.feeders[i].lineVoltageInput;
        }
    }
    m_campaign = p.campaign;
    m_texts.ptRatio = std::to_string(p.ptRatio);
    m_settings.ptRatio = static_cast<std::int16_t>(p.ptRatio);
    // The time correction and the channels change how the recording reads.
    m_texts.timeOffset = formatBoxNumber(p.timeOffsetHours);
    m_settings.timeOffsetHours = p.timeOffsetHours;
    readCurrent(false);
}

void Session::chooseOutputName(const std::string& chosen) {
    if (chosen.empty()) return;
    m_chosenName = chosen;
    m_outputNameCleared = false;
    applyOutputName();
}

void Session::applyOutputName() {
    if (m_chosenName.empty()) return;
    m_settings.outputFileName = outputFileNameFor(m_chosenName, m_settings.outputExtension());
}

std::filesystem::path Session::outputFolder() const {
    if (!m_chosenName.empty()) {
        const std::filesystem::path parent = utf8Path(m_chosenName).parent_path();
        if (!parent.empty()) return parent;
    }
    return m_folder;
}

bool Session::canStart() const {
    return !m_currentFileName.empty() && m_recording && !m_settings.outputFileName.empty();
}

const Recording* Session::recordingForCheck() {
    if (m_currentFileName.empty()) return nullptr;
    // The check must see the samples as the current channel settings read them.
    readCurrent(false);
    return recording();
}

bool Session::wiringConfirmed() {
    if (m_files.count() == 0) return false;
    // The run walks the list from its first entry; the screen keeps a readable
    // recording current for the next start.
    const std::string checked = m_currentFileName;
    const int first = std::max(0, m_files.firstDatedIndex());
    m_currentFileName = m_files.names[static_cast<std::size_t>(first)];
    readCurrent(false);
    if (!m_recording) {
        m_currentFileName = checked;
        readCurrent(false);
    }
    return true;
}

}  // namespace waveharm
