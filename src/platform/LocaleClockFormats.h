// How a locale writes the status line clock and date, derived without touching the system,
// so it can be checked for any locale.
#pragma once

#include "Host.h"

class QLocale;

// The clock and date formats for `locale`: the locale's hour token, then ":mm:ss", with its
// AM/PM marker before or after as the locale puts it (12-hour locales only) and no time zone;
// the locale's short date pattern, or "M/d/yy" when it has none.
ClockFormats clockFormatsFor(const QLocale& locale);

// The long time format made from a locale's own long time format `localeFormat` (Qt
// notation), by the rule above.
QString clockLongTimeFormat(const QString& localeFormat);
