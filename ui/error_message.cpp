#include "ui/error_message.h"

#include "base/error.h"
#include "campaign/limits.h"
#include "display/error_texts.h"
#include "engine/analysis_error.h"
#include "output/result_writer.h"

namespace waveharm {

QString errorMessage(const std::exception& error, const std::string& file) {
    std::string text;
    if (const auto* in = dynamic_cast<const InputError*>(&error)) {
        text = readErrorMessage(in->kind(), in->file(), in->offset(), in->reason());
    } else if (const auto* out = dynamic_cast<const OutputError*>(&error)) {
        text = writeErrorMessage(out->kind(), out->file(), out->systemError());
    } else if (const auto* limit = dynamic_cast<const LimitError*>(&error)) {
        text = limitErrorMessage(limit->file(), limit->line(), limit->reason());
    } else if (dynamic_cast<const AnalysisError*>(&error)) {
        text = readErrorMessage(AnalysisError::kind(), file, -1, error.what());
    } else {
        text = (file.empty() ? std::string() : file + "：") + error.what();
    }
    return QString::fromStdString(text);
}

}  // namespace waveharm
