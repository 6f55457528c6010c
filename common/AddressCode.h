#pragma once

// The one-byte code that calls a station on the shared line: stations 1 to 4 give
// 123 to 126, stations 5 to 32 give 91 to 118.
int addressCode(int stationNumber);
