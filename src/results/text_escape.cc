// UTF-8 taken strictly: no overlong forms, no surrogates, nothing above U+10FFFF.
#include "text_escape.h"

namespace {

void AppendUtf8(std::string& out, uint32_t point) {
  if (point < 0x80) {
    out += static_cast<char>(point);
  } else if (point < 0x800) {
    out += static_cast<char>(0xC0 | point >> 6);
    out += static_cast<char>(0x80 | (point & 0x3F));
  } else if (point < 0x10000) {
    out += static_cast<char>(0xE0 | point >> 12);
    out += static_cast<char>(0x80 | (point >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (point & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | point >> 18);
    out += static_cast<char>(0x80 | (point >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (point >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (point & 0x3F));
  }
}

// XML 1.0's Char production; surrogates never reach here, as NextCodePoint refuses
// them.
bool XmlCharacter(uint32_t point) {
  if (point < 0x20) return point == '\t' || point == '\n' || point == '\r';
  return point != 0xFFFE && point != 0xFFFF;
}

// The smallest code point each length may carry: anything less is overlong.
constexpr uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};

}  // namespace

uint32_t NextCodePoint(const char* text, int* length) {
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(text);
  uint8_t lead = bytes[0];
  *length = 1;
  int count = lead < 0x80    ? 1
              : lead >= 0xF8 ? 0
              : lead >= 0xF0 ? 4
              : lead >= 0xE0 ? 3
              : lead >= 0xC0 ? 2
                             : 0;
  if (count == 1) return lead;
  if (count == 0) return kReplacementCharacter;
  uint32_t point = lead & (0x7F >> count);
  for (int i = 1; i < count; ++i) {
    if ((bytes[i] & 0xC0) != 0x80) return kReplacementCharacter;  // NUL stops here too
    point = point << 6 | (bytes[i] & 0x3F);
  }
  if (point < kLeast[count] || point > 0x10FFFF || (point >= 0xD800 && point < 0xE000))
    return kReplacementCharacter;
  *length = count;
  return point;
}

void AppendJsonString(std::string& out, const char* text) {
  static const char kHex[] = "0123456789abcdef";
  out += '"';
  for (int length = 0; *text != '\0'; text += length) {
    uint32_t point = NextCodePoint(text, &length);
    if (point == '"' || point == '\\') {
      out += '\\';
      out += static_cast<char>(point);
    } else if (point < 0x20 || point == 0x7F) {
      out += "\\u00";
      out += kHex[point >> 4];
      out += kHex[point & 0xF];
    } else {
      AppendUtf8(out, point);
    }
  }
  out += '"';
}

void AppendXmlText(std::string& out, const char* text) {
  for (int length = 0; *text != '\0'; text += length) {
    uint32_t point = NextCodePoint(text, &length);
    if (point == '&') {
      out += "&amp;";
    } else if (point == '<') {
      out += "&lt;";
    } else if (point == '>') {
      out += "&gt;";
    } else if (point == '"') {
      out += "&quot;";
    } else if (!XmlCharacter(point)) {
      AppendUtf8(out, kReplacementCharacter);
    } else {
      AppendUtf8(out, point);
    }
  }
}
