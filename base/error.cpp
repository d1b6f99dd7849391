#include "base/error.h"

#include <utility>

namespace waveharm {

namespace {

std::string describe(const std::string& file, std::int64_t offset, const std::string& reason) {
    std::string text = file + ": " + reason;
    if (offset >= 0) text += " (byte " + std::to_string(offset) + ")";
    return text;
}

}  // namespace

InputError::InputError(ErrorKind kind, std::string file, std::int64_t offset, std::string reason)
    : std::runtime_error(describe(file, offset, reason)),
      m_kind(kind),
      m_file(std::move(file)),
      m_offset(offset),
      m_reason(std::move(reason)) {}

}  // namespace waveharm
