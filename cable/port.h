// The one seam between the cable driver and the hardware: write a register, read a register.
// MORVA.EXE plugs in the processor's I/O instructions, MORVASIM.EXE a simulated board, tests a
// recording fake. Only the cable driver calls it.
#pragma once

class CPort
{
public:
    virtual ~CPort() {}
    virtual void Write(unsigned short address, unsigned char value) = 0;
    virtual unsigned char Read(unsigned short address) = 0;
    // Whether this process may use the port at all; asked once, before any access.
    virtual bool IsAccessible() { return true; }
};

// The port this build drives: defined once per program (real I/O or simulated board).
CPort& BuildPort();

// The port the cable driver uses now. Tests install a fake; null restores the build's port.
CPort& CablePort();
void SetCablePort(CPort* pPort);
