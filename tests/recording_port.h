// A port that records every access and answers status reads from a script.
#pragma once

#include <deque>
#include <utility>
#include <vector>

#include "cable/cable.h"
#include "cable/port.h"

class CRecordingPort : public CPort
{
public:
    struct Access
    {
        bool bWrite;
        unsigned short address;
        unsigned char value;
    };

    void Write(unsigned short address, unsigned char value) override
    {
        accesses.push_back({true, address, value});
    }

    unsigned char Read(unsigned short address) override
    {
        unsigned char value = status;
        if (!script.empty())
        {
            value = script.front();
            script.pop_front();
        }
        accesses.push_back({false, address, value});
        return value;
    }

    std::vector<unsigned char> DataWrites() const
    {
        std::vector<unsigned char> values;
        for (const Access& access : accesses)
        {
            if (access.bWrite)
                values.push_back(access.value);
        }
        return values;
    }

    std::vector<Access> accesses;
    std::deque<unsigned char> script;
    unsigned char status = 0x6F;
};

// Installs a port for the cable driver for the life of the object.
class CPortScope
{
public:
    explicit CPortScope(CPort* pPort) : m_pBefore(SetCablePort(pPort)) {}
    ~CPortScope() { SetCablePort(m_pBefore); }
    CPortScope(const CPortScope&) = delete;
    CPortScope& operator=(const CPortScope&) = delete;

private:
    CPort* m_pBefore;
};

// One clock as a step makes it: the pulse, then TDO read once (a cable that holds a clock's
// writes back sends them with that read).
inline BYTE Clock()
{
    PulseTck();
    return GetTdo();
}
