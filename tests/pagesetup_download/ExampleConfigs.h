#pragma once

#include "PagerConfig.h"

namespace ExampleConfigs {

// What a save leaves of the record of a station without a file.
PagerConfig savedDefaults();

// n inputs with pager numbers, texts and norm/emer entries, all 32 groups full and all
// 16 dial strings filled, as a save leaves it.
PagerConfig full(int n);

// full(n) with every dial string at its 25-character limit: the longest tail the window
// lets a stream have, where a slow line's queue builds most.
PagerConfig longest(int n);

} // namespace ExampleConfigs
