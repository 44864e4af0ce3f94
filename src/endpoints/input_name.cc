// A letter and a colon name a whole logical drive, a digit and a colon a whole
// physical disk; every other name is opened as it stands.
#include <cstdio>
#include <cstring>

#include "endpoints.h"
#include "run_record.h"

void MapInputName(const char* inputName, char* out) {
  static const char kDevicePrefix[] = "\\\\.\\";
  size_t length = strlen(inputName);
  if (length < 2 || inputName[length - 1] != ':') {
    snprintf(out, kMaxName + 1, "%s", inputName);
  } else if (length == 2 && inputName[0] >= '0' && inputName[0] <= '9') {
    snprintf(out, kMaxName + 1, "%sphysicaldrive%c", kDevicePrefix, inputName[0]);
  } else {
    snprintf(out, kMaxName + 1, "%s%s", kDevicePrefix, inputName);
  }
}
