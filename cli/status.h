// What a terminal shows: names escaped, the columns text takes, and the progress line.
#pragma once

#include <chrono>
#include <ostream>
#include <string>
#include <string_view>

namespace cli {

// The columns text takes on a terminal: East Asian wide and fullwidth characters take two,
// combining marks and other zero-width characters none, everything else one.
int DisplayWidth(std::string_view text);

// The tail of text that fits in columns, led by "..." when the front was cut. Control
// characters become '?' so a file name cannot move the cursor.
std::string FitTail(std::string_view text, int columns);

// Both bars with their percentages, then as much of the current file's name as fits. It
// stays under columns so the terminal never wraps it onto a second line.
std::string StatusText(unsigned totalPercent, unsigned filePercent, std::string_view name,
                       int columns);

// A name as ls shows it: control characters escaped, so that a name cannot end its line or
// move the cursor; a backslash is then doubled. A name without one is left as it is.
std::string Escaped(std::string_view name);

// The two bars and the current file on one terminal line, redrawn at most every 100 ms.
class ProgressLine {
public:
    ProgressLine(std::ostream& err, int columns) : m_err(err), m_columns(columns) {}
    void Update(unsigned totalPercent, unsigned filePercent, const std::string& name);
    void Erase();

private:
    std::ostream& m_err;
    int m_columns;
    bool m_shown = false;
    int m_shownWidth = 0;
    bool m_everDrawn = false;
    std::chrono::steady_clock::time_point m_lastDrawn;
};

}  // namespace cli
