// A COMTRADE record as files: a configuration with its data file beside it, or the 2013
// combined file whose sections ("--- file type: CFG ---", "--- file type: DAT BINARY: n
// ---", ...) hold the same texts and bytes one after another.

#include <algorithm>
#include <charconv>
#include <string>
#include <system_error>

#include "base/input_file.h"
#include "base/utf8_path.h"
#include "exchange/comtrade.h"
#include "exchange/record_text.h"

namespace waveharm {

namespace {

std::string_view asText(std::span<const std::byte> bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// The byte-order mark some editors put before a UTF-8 text.
std::size_t byteOrderMark(std::string_view text) {
    return text.starts_with("\xEF\xBB\xBF") ? 3 : 0;
}

std::string upperLetters(std::string_view text) {
    std::string upper(text);
    for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return upper;
}

struct Section {
    std::string type;             ///< "CFG", "INF", "HDR", "DAT ASCII", "DAT BINARY"
    std::int64_t byteCount = -1;  ///< of a binary data section
};

// The section a separator line opens; nothing when the line is not a separator.
std::optional<Section> separatorOf(const TextLines& lines, std::string_view line) {
    const std::string upper = upperLetters(trimmed(line));
    if (!upper.starts_with("---") || upper.find("FILE TYPE:") == std::string::npos)
        return std::nullopt;
    std::string_view inner(upper);
    inner.remove_prefix(inner.find("FILE TYPE:") + 10);
    while (inner.ends_with('-')) inner.remove_suffix(1);
    inner = trimmed(inner);
    Section section;
    if (!inner.starts_with("DAT")) {
        section.type = std::string(inner);
        return section;
    }
    inner = trimmed(inner.substr(3));
    if (inner.starts_with("ASCII")) {
        section.type = "DAT ASCII";
        return section;
    }
    if (!inner.starts_with("BINARY"))
        lines.fail(ErrorKind::BrokenLayout,
                   "data section type '" + std::string(inner) + "' is not ASCII or BINARY");
    inner = trimmed(inner.substr(6));
    if (inner.starts_with(':')) inner = trimmed(inner.substr(1));
    section.type = "DAT BINARY";
    const auto [end, error] =
        std::from_chars(inner.data(), inner.data() + inner.size(), section.byteCount);
    if (inner.empty() || error != std::errc() || end != inner.data() + inner.size() ||
        section.byteCount < 0)
        lines.fail(ErrorKind::BrokenLayout, "binary data section's byte count '" +
                                                std::string(inner) + "' is not a whole number");
    return section;
}

struct CombinedParts {
    std::optional<std::string_view> cfg, dat;
    int cfgLine = 1, datLine = 1;
    std::int64_t cfgOffset = 0, datOffset = 0;
    bool binary = false;
};

// Closes the text section that began at `begin` where the next separator line starts.
void closeSection(CombinedParts& parts, const std::string& type, std::string_view text,
                  std::size_t begin, std::size_t end) {
    const std::string_view body = text.substr(begin, end - begin);
    if (type == "CFG") parts.cfg = body;
    if (type == "DAT ASCII") parts.dat = body;
}

CombinedParts splitCombined(std::string_view text, const std::string& name) {
    const std::size_t bom = byteOrderMark(text);
    TextLines lines(text.substr(bom), name, 1, static_cast<std::int64_t>(bom));
    CombinedParts parts;
    std::string open;  // the text section being read
    std::size_t begin = 0;
    while (const auto line = lines.tryNext()) {
        const auto section = separatorOf(lines, *line);
        if (!section) continue;
        const auto here = static_cast<std::size_t>(lines.lineOffset());
        if (!open.empty()) closeSection(parts, open, text, begin, here);
        open = section->type;
        begin = bom + lines.position();
        if (open == "CFG") parts.cfgLine = lines.lineNumber() + 1;
        if (open == "CFG") parts.cfgOffset = static_cast<std::int64_t>(begin);
        if (open == "DAT ASCII") parts.datLine = lines.lineNumber() + 1;
        if (open == "DAT ASCII") parts.datOffset = static_cast<std::int64_t>(begin);
        if (open != "DAT BINARY") continue;
        // The data section's bytes end the file's text: what follows them is not read.
        if (section->byteCount > static_cast<std::int64_t>(text.size() - begin))
            lines.fail(ErrorKind::DataOutsideFile, "binary data section of " +
                                                       std::to_string(section->byteCount) +
                                                       " bytes runs past the end of the file");
        parts.dat = text.substr(begin, static_cast<std::size_t>(section->byteCount));
        parts.datOffset = static_cast<std::int64_t>(begin);
        parts.binary = true;
        return parts;
    }
    if (!open.empty()) closeSection(parts, open, text, begin, text.size());
    return parts;
}

std::span<const std::byte> asBytes(std::string_view text) {
    return {reinterpret_cast<const std::byte*>(text.data()), text.size()};
}

}  // namespace

ChannelRecord parseComtrade(std::span<const std::byte> cfg, const std::string& cfgName,
                            std::span<const std::byte> dat, const std::string& datName) {
    const std::string_view text = asText(cfg);
    const std::size_t bom = byteOrderMark(text);
    const ComtradeConfig config =
        parseComtradeConfig(text.substr(bom), cfgName, 1, static_cast<std::int64_t>(bom));
    return decodeComtradeData(config, dat, datName);
}

namespace {

ComtradeConfig combinedConfig(const CombinedParts& parts, const std::string& name) {
    if (!parts.cfg)
        throw InputError(ErrorKind::BrokenLayout, name, -1,
                         "no section '--- file type: CFG ---' in the combined file");
    return parseComtradeConfig(*parts.cfg, name, parts.cfgLine, parts.cfgOffset);
}

}  // namespace

ChannelRecord parseComtradeCombined(std::span<const std::byte> cff, const std::string& name) {
    const CombinedParts parts = splitCombined(asText(cff), name);
    const ComtradeConfig config = combinedConfig(parts, name);
    if (!parts.dat)
        throw InputError(ErrorKind::BrokenLayout, name, -1,
                         "no data section '--- file type: DAT ... ---' in the combined file");
    const bool ascii = config.dataType == ComtradeDataType::Ascii;
    if (ascii == parts.binary)
        throw InputError(ErrorKind::BrokenLayout, name, parts.datOffset,
                         std::string("the data section is ") + (parts.binary ? "BINARY" : "ASCII") +
                             ", the configuration says " + dataTypeText(config.dataType));
    return decodeComtradeData(config, asBytes(*parts.dat), name, parts.datLine, parts.datOffset);
}

std::optional<std::filesystem::path> comtradeDataPath(const std::filesystem::path& cfg) {
    const std::string wanted = upperLetters(utf8Text(cfg.stem()) + ".dat");
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(
             cfg.parent_path().empty() ? std::filesystem::path(".") : cfg.parent_path(), error)) {
        if (upperLetters(utf8Text(entry.path().filename())) == wanted) return entry.path();
    }
    return std::nullopt;
}

namespace {

bool isCombined(const std::filesystem::path& path) {
    return upperLetters(utf8Text(path.extension())) == ".CFF";
}

std::filesystem::path dataPathOf(const std::filesystem::path& cfg) {
    if (auto dat = comtradeDataPath(cfg)) return *dat;
    throw InputError(ErrorKind::CannotOpen, utf8Text(cfg.filename()), -1,
                     "no data file " + utf8Text(cfg.stem()) + ".dat beside the configuration");
}

}  // namespace

ChannelRecord readComtrade(const std::filesystem::path& path) {
    const std::string name = utf8Text(path.filename());
    const std::vector<std::byte> bytes = readFileBytes(path, "record");
    if (isCombined(path)) return parseComtradeCombined(bytes, name);
    const std::filesystem::path datPath = dataPathOf(path);
    const std::vector<std::byte> dat = readFileBytes(datPath, "record");
    return parseComtrade(bytes, name, dat, utf8Text(datPath.filename()));
}

ComtradeConfig readComtradeConfig(const std::filesystem::path& path) {
    const std::string name = utf8Text(path.filename());
    const std::vector<std::byte> bytes = readFileBytes(path, "record");
    const std::string_view text = asText(bytes);
    if (isCombined(path)) return combinedConfig(splitCombined(text, name), name);
    const std::size_t bom = byteOrderMark(text);
    return parseComtradeConfig(text.substr(bom), name, 1, static_cast<std::int64_t>(bom));
}

}  // namespace waveharm
