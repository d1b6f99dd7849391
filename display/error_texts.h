#pragma once
// The Japanese texts of the core's read, analysis and write errors, keyed by the
// error's kind, for the screens (the command-line program keeps the core's English).

#include <cstdint>
#include <string>

#include "base/error.h"

namespace waveharm {

/// What a kind of error means, in Japanese ("波形ファイルの形式ではありません").
std::string errorKindText(ErrorKind kind);

/// The system's error number (errno) in Japanese for the faults a result folder
/// commonly meets (read-only, full, no permission, missing folder); others as
/// "システムエラー N". Empty for 0.
std::string systemErrorText(int error);

/// A read or analysis error of `file`: the file name, the kind's text, the byte
/// position when known and the core's detail, e.g.
/// "W3000.MEM：ファイルの終わりを越える位置を指しています（12 バイト目）\n詳細：…".
std::string readErrorMessage(ErrorKind kind, const std::string& file, std::int64_t offset,
                             const std::string& detail);

/// A limit table that cannot be used: the file or table name, the line when the fault
/// is on one (`line` > 0) and the detail.
std::string limitErrorMessage(const std::string& file, int line, const std::string& detail);

/// A write error of a result file: the full path, the kind's text and the system's
/// reason in Japanese when it gave one.
std::string writeErrorMessage(ErrorKind kind, const std::string& file, int systemError);

}  // namespace waveharm
