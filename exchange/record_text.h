#pragma once
// Reading the text of exchange-format files line by line and field by field. Every fault
// names the file, the line (counted from 1) and the field, and carries the byte offset of
// the line, so a user can find it in any editor.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/date_time.h"
#include "base/error.h"

namespace waveharm {

/// A cursor over the lines of a text held in memory. Lines end with LF, CR LF or CR.
class TextLines {
  public:
    /// `text` must outlive the cursor. `firstLine` and `baseOffset` place the text inside
    /// a larger file (a section of a combined file).
    TextLines(std::string_view text, std::string file, int firstLine = 1,
              std::int64_t baseOffset = 0);

    bool atEnd() const { return m_pos >= m_text.size(); }
    /// The next line, without its end. Throws InputError (FileTooShort) naming `what` when
    /// the text has ended.
    std::string_view next(std::string_view what);
    /// The next line, or nothing at the end of the text.
    std::optional<std::string_view> tryNext();
    /// The line after the current one, without moving.
    std::optional<std::string_view> peek() const;

    const std::string& file() const { return m_file; }
    int lineNumber() const { return m_line; }             ///< of the line last returned
    std::int64_t lineOffset() const { return m_offset; }  ///< byte offset of that line
    std::size_t position() const { return m_pos; }        ///< offset of the next line in `text`

    /// InputError of `kind` at the line last returned: "line N: reason".
    [[noreturn]] void fail(ErrorKind kind, const std::string& reason) const;

  private:
    std::string_view m_text;
    std::string m_file;
    std::size_t m_pos = 0;
    int m_line;
    std::int64_t m_baseOffset;
    std::int64_t m_offset = -1;
};

/// The comma-separated fields of one line, blanks around each trimmed; readers of single
/// fields that fail with the line and the field's name.
class FieldLine {
  public:
    /// Splits the line `lines` returned last; `separator` is ',' or ';'.
    FieldLine(const TextLines& lines, std::string_view line, char separator = ',');

    std::size_t size() const { return m_fields.size(); }
    /// Field i (0-based) as written; "" when the line has fewer fields.
    std::string_view text(std::size_t i) const;
    /// Throws unless the line has at least `count` fields; `what` names the line.
    void requireFields(std::size_t count, std::string_view what) const;
    /// Field i as a finite real number ("+9", "1.0E-3" and "-.5" allowed).
    double number(std::size_t i, std::string_view what) const;
    /// Field i as a whole number from lo to hi.
    std::int64_t whole(std::size_t i, std::string_view what, std::int64_t lo,
                       std::int64_t hi) const;
    [[noreturn]] void fail(ErrorKind kind, const std::string& reason) const {
        m_lines.fail(kind, reason);
    }

  private:
    const TextLines& m_lines;
    std::vector<std::string_view> m_fields;
};

/// Blanks (spaces, tabs) removed from both ends.
std::string_view trimmed(std::string_view text);

/// A real number written as text: optional sign (a leading '+' too), digits, decimal
/// point, exponent; with `decimalComma` a ',' may stand for the decimal point. Nothing
/// unless the whole text is a finite number.
std::optional<double> realNumber(std::string_view text, bool decimalComma = false);

/// The value of a text of 1 to `most` decimal digits; nothing for anything else.
std::optional<int> digitsValue(std::string_view text, std::size_t most);

/// True when the year, month and day make a date of the calendar.
bool isCalendarDate(const CivilDateTime& c);

/// "hh:mm:ss" with an optional fraction of up to nine digits ("hh:mm:ss.ssssss") into the
/// hour, minute and second of `c`, the fraction and its number of digits; false when the
/// text is no such time.
bool clockTime(std::string_view text, CivilDateTime& c, double& fraction, int& digits);

/// Case-insensitive comparison of ASCII texts.
bool sameLetters(std::string_view a, std::string_view b);

}  // namespace waveharm
