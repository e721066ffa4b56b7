// Text at the edges of the command-line tools: UTF-8 outside, Shift-JIS
// (code page 932) inside, as the handheld and the data file keep it.
#pragma once

#include <string>
#include <vector>

namespace tessaly {

// False when some character has no Shift-JIS form or the input is not UTF-8.
bool Utf8ToSjis(const std::string& utf8, std::string& sjis);
// Bytes that are not valid Shift-JIS come out as U+FFFD.
std::string SjisToUtf8(const std::string& sjis);

// Line breaks: "\r\n" becomes "\n" (a lone "\r" is text and stays), and "\n" becomes "\r\n".
std::string ToLf(const std::string& text);
std::string ToCrLf(const std::string& text);

// A JSON string literal, quotes included.
std::string JsonQuote(const std::string& utf8);

// The program's arguments as UTF-8, whatever the console's code page.
std::vector<std::string> Utf8Arguments(int argc, char** argv);

// Reads all of standard input, in binary.
std::string ReadAllStdin();

// Asks for a password on the terminal without echo; false if there is no terminal.
bool PromptPassword(const char* prompt, std::string& utf8);

} // namespace tessaly
