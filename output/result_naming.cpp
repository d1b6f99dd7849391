// Result file names and record sizes.

#include <cassert>

#include "output/result_writer.h"

namespace waveharm {

namespace {

// Where the file name of a path begins: after its last folder separator, either the
// Windows "\" or the "/" that both systems accept.
std::size_t fileNameStart(const std::string& path) {
    const std::size_t separator = path.find_last_of("/\\");
    return separator == std::string::npos ? 0 : separator + 1;
}

}  // namespace

std::string outputFileNameFor(const std::string& chosenName, const std::string& extension) {
    // Only the file name's own extension is replaced: a dotted folder (rev2.1, .local, ..)
    // keeps the results inside it.
    const std::size_t dot = chosenName.find('.', fileNameStart(chosenName));
    return chosenName.substr(0, dot) + extension;
}

std::array<std::string, 3> phaseFileNames(const std::string& outputFileName) {
    std::size_t insertAt = outputFileName.find('.', fileNameStart(outputFileName));
    insertAt = insertAt == std::string::npos ? outputFileName.size() : insertAt + 1;
    std::array<std::string, 3> names;
    const char letters[3] = {'R', 'T', 'S'};
    for (int i = 0; i < 3; ++i) {
        names[i] = outputFileName;
        names[i].insert(insertAt, 1, letters[i]);
    }
    return names;
}

int harmonicCount(HarmonicOption option) {
    return option == HarmonicOption::HighOrder256 ? 256 : 25;
}

bool hasVoltageAngleRow(HarmonicOption option) {
    return option == HarmonicOption::WithSuperpositionAngle ||
           option == HarmonicOption::WithAngleAndUnbalance ||
           option == HarmonicOption::HighOrder256;
}

bool hasCurrentAngleRow(HarmonicOption option) {
    return option == HarmonicOption::WithSuperpositionAngle;
}

bool hasUnbalanceRows(HarmonicOption option) {
    return option == HarmonicOption::WithUnbalance ||
           option == HarmonicOption::WithAngleAndUnbalance;
}

int recordLength(HarmonicOption option, int feederCount) {
    assert(feederCount >= 1 && "a record holds at least one feeder");
    const int h = harmonicCount(option);
    int bytes = 4 + 2 + 4 * h;           // date, time, voltage RMS per order
    bytes += feederCount * (4 + 2) * h;  // per feeder: current RMS and angle per order
    if (hasVoltageAngleRow(option)) bytes += 2 * h;
    if (hasCurrentAngleRow(option)) bytes += 2 * h;
    if (hasUnbalanceRows(option)) bytes += 4 * 3 + feederCount * 4 * 3;
    return bytes;
}

std::vector<int> writtenOrders(HarmonicOption option) {
    std::vector<int> orders;
    if (option == HarmonicOption::HighOrder256) {
        for (int n = 1; n <= 256; ++n) orders.push_back(n);
    } else {
        for (int n = 1; n <= 49; n += 2) orders.push_back(n);
    }
    return orders;
}

}  // namespace waveharm
