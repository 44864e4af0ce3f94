// The stored texts that start-up writes whole.
#ifndef TAVO_SRC_APP_TEXTS_H_
#define TAVO_SRC_APP_TEXTS_H_

extern const char kBannerText[];
extern const char kVersionText[];
extern const char kUsageText[];
extern const char kLongOptionsText[];

#endif  // TAVO_SRC_APP_TEXTS_H_
