// Names in result files. File names are bytes (on Linux any bytes but "/" and NUL):
// they are written as UTF-8, each byte that does not begin a valid UTF-8 sequence
// replaced by U+FFFD, so that any name gives a valid JSON string and valid XML text.
#ifndef TAVO_INCLUDE_TEXT_ESCAPE_H_
#define TAVO_INCLUDE_TEXT_ESCAPE_H_

#include <cstdint>
#include <string>

constexpr uint32_t kReplacementCharacter = 0xFFFD;

// The code point that begins at text (which holds at least one byte before its NUL),
// and its length in bytes; an invalid sequence gives U+FFFD for its first byte alone.
uint32_t NextCodePoint(const char* text, int* length);

// text as a JSON string, quotes included: '"', '\' and control characters escaped.
void AppendJsonString(std::string& out, const char* text);

// text as XML character data: '&', '<', '>', '"' as references; the code points that
// XML 1.0 cannot hold at all (most control characters, U+FFFE, U+FFFF) become U+FFFD.
void AppendXmlText(std::string& out, const char* text);

#endif  // TAVO_INCLUDE_TEXT_ESCAPE_H_
