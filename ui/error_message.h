#pragma once
// Any error of the core as the screens show it: in Japanese, naming the file, with the
// core's detail (the catalogue of display/error_texts.h keyed by the error's kind).

#include <QString>
#include <exception>
#include <string>

namespace waveharm {

/// The Japanese message of a reading, analysis, limit-table or writing error; `file`
/// names the recording for errors that do not carry their file (an analysis error).
QString errorMessage(const std::exception& error, const std::string& file = {});

}  // namespace waveharm
