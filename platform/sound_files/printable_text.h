// Text from outside the program (a file name, an option, an environment variable, a
// device's or a library's words) made fit for a terminal: its control characters written
// as escapes (a newline as \n, a tab as \t, the rest as \xHH), so that it prints as one
// line and cannot send the terminal an escape sequence. Everything else, UTF-8 included,
// is left as it is. Every message of the programs that shows such text goes through it.
//
// Thread: any; no state.
#pragma once

#include <string>
#include <string_view>

namespace veldra {

std::string printableText(std::string_view text);

}  // namespace veldra
