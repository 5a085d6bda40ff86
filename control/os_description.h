#pragma once
// The operating system as the OS requirement items see it: version,
// service pack and edition. Read once per process and then kept.
#include "control/query_rules.h"

// The kept description (read on first use).
const OsDescription& GetOsDescription();
// A fresh reading, for tests.
OsDescription ReadOsDescription();
