// Turning the bytes a terminal sends into presses of ESC and SPACE. The ESC key sends
// a lone 0x1B; arrow and function keys send sequences that begin with one (ESC '['
// parameters final-byte, or ESC 'O' letter), and Alt with a key sends ESC before the
// key. Only a 0x1B that nothing follows is the ESC key.
#include "posix_layer.h"

namespace {

constexpr uint8_t kEscape = 0x1B;
constexpr uint8_t kSpace = 0x20;

bool IsFinalByte(uint8_t byte) { return byte >= 0x40 && byte <= 0x7E; }

}  // namespace

void ScanKeyBytes(KeyScan* scan, const uint8_t* bytes, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    uint8_t byte = bytes[i];
    switch (scan->state) {
      case KeyScan::kGround:
        if (byte == kEscape) scan->state = KeyScan::kEscape;
        scan->space = scan->space || byte == kSpace;
        break;
      case KeyScan::kEscape:
        // A second ESC ends the first: ESC pressed twice while the program was busy
        // still counts. Any other byte after ESC is a sequence or an Alt key.
        if (byte == kEscape) {
          scan->escape = true;
        } else if (byte == '[') {
          scan->state = KeyScan::kControlSequence;
        } else if (byte == 'O') {
          scan->state = KeyScan::kSingleShift;
        } else {
          scan->state = KeyScan::kGround;
        }
        break;
      case KeyScan::kControlSequence:
        if (IsFinalByte(byte)) scan->state = KeyScan::kGround;
        break;
      case KeyScan::kSingleShift:
        scan->state = KeyScan::kGround;
        break;
    }
  }
}

// A terminal writes a key's whole sequence at once, so an ESC at the end of what has
// arrived is the ESC key; a sequence cut short is dropped.
void FinishKeyScan(KeyScan* scan) {
  scan->escape = scan->escape || scan->state == KeyScan::kEscape;
  scan->state = KeyScan::kGround;
}
