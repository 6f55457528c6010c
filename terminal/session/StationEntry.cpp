#include "StationEntry.h"

#include "AddressCode.h"
#include "NumberText.h"
#include "SingleByte.h"
#include "TerminalState.h"

StationLabels StaTxt_Change(TerminalState &state, QStringView text)
{
    // The box holds two characters, so the number always fits; 0 is only a fallback.
    state.StationNumber = NumberText::integerValue(text).value_or(0);
    state.AddressCode = int16_t(addressCode(state.StationNumber));
    return {QStringLiteral("Ascii value of code for station is ") + NumberText::plainForm(state.AddressCode),
            QStringLiteral("Character is ") + SingleByte::toChar(uchar(state.AddressCode))};
}
