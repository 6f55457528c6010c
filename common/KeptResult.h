#pragma once

#include <cstdint>

// Both programs keep the result of their latest call on the line (PortResult); wrapping each
// call in one of these keeps it: `m_keep(m_line.PutByte(port, byte))`.
class KeptResult
{
public:
    explicit KeptResult(int32_t &kept) : m_kept(kept) {}

    int32_t operator()(int32_t result) const
    {
        m_kept = result;
        return result;
    }

private:
    int32_t &m_kept;
};
