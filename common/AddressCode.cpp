#include "AddressCode.h"

int addressCode(int stationNumber)
{
    const int code = stationNumber + 122;
    return code <= 126 ? code : stationNumber + 86;
}
