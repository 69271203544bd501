// The progress line shown on a terminal: the columns text takes and the line's text.
#pragma once

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

}  // namespace cli
